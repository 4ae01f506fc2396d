#include "ui/grid/GridModel.h"

#include "ui/grid/GridController.h"

#include "tests/ui/grid/TaggedSource.h"
#include "ui/grid/GridEditorView.h"
#include "ui/grid/GridHandler.h"

#include <QTest>

namespace {
// Stands in for the widget: an editor that is a string, a focus that is a flag, and a log of what was asked.
class FakeEditor : public GridEditorView {
public:
    QStringList* log = nullptr;
    std::string text;
    bool shown = false;
    bool active = true;

    std::string editorText() const override { return text; }
    bool showEditor(const std::string* loaded, bool) override
    {
        if (loaded) {
            text = *loaded;
            log->append(QStringLiteral("load \"%1\"").arg(QString::fromStdString(*loaded)));
        }
        shown = true;
        return true;
    }
    void hideEditor() override
    {
        if (shown)
            log->append(QStringLiteral("hide"));
        shown = false;
    }
    bool editorMayShow() const override { return active; }
};

class Handler : public GridHandler {
public:
    QStringList* log = nullptr;
    bool refuse = false;

    void selectCell(std::int32_t col, std::int32_t row, bool& canSelect) override
    {
        log->append(QStringLiteral("select %1,%2").arg(col).arg(row));
        canSelect = !refuse;
    }
    void setEditText(std::int32_t col, std::int32_t row, const std::string& value, EditReport report) override
    {
        const char* how = report == EditReport::Typed ? "typed" : "handed back";
        log->append(QStringLiteral("edit %1,%2 \"%3\" %4").arg(col).arg(row).arg(QString::fromStdString(value), how));
    }
};
} // namespace

// The grid's state and notification order, driven without a window.
class tst_GridModel : public QObject {
    Q_OBJECT
private slots:
    void theEditorIsHandedBackAfterTheSelectAndHiddenAfterTheEditNotification();
    void aRefusedMoveChangesNothing_data();
    void aRefusedMoveChangesNothing();
    void rowsWrittenOverTheOpenEditorReloadIt();
};

void tst_GridModel::theEditorIsHandedBackAfterTheSelectAndHiddenAfterTheEditNotification()
{
    QStringList log;
    FakeEditor view;
    view.log = &log;
    Handler handler;
    handler.log = &log;
    GridModel model(view);
    GridController controller(model);
    model.setHandler(&handler);
    model.layout().setClientSize(QSize(500, 300));
    model.setRowCount(3);
    model.setCell(1, 1, "41");
    model.setEditing(true);
    QVERIFY(model.openEditor());
    view.text = "7";
    model.editorEdited(view.text);
    controller.key(Qt::Key_Down, Qt::NoModifier);
    QCOMPARE(log,
        (QStringList { "load \"41\"", "edit 1,1 \"7\" typed", "select 1,2", "edit 1,1 \"7\" handed back", "hide" }));
    QVERIFY(!model.boundCell());
    QVERIFY(!model.editorMode());
    QCOMPARE(model.cell(1, 1), std::string("7"));
}

void tst_GridModel::aRefusedMoveChangesNothing_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QStringList>("expected");
    // The press hands the editor back before it asks to move; its release shows the editor again where it was.
    const QStringList pressed { "edit 1,3 \"typed\" handed back", "hide", "select 2,1", "load \"typed\"" };
    QTest::newRow("a key") << QStringLiteral("key") << QStringList { "select 1,4" };
    QTest::newRow("the wheel") << QStringLiteral("wheel") << QStringList { "select 1,4" };
    QTest::newRow("a press and its release, editing on") << QStringLiteral("press") << pressed;
    QTest::newRow("a row count that cuts off the current row")
        << QStringLiteral("count") << QStringList { "select 1,1" };
}

void tst_GridModel::aRefusedMoveChangesNothing()
{
    QFETCH(QString, how);
    QFETCH(QStringList, expected);
    QStringList log;
    FakeEditor view;
    view.log = &log;
    Handler handler;
    handler.log = &log;
    GridModel model(view);
    GridController controller(model);
    model.setHandler(&handler);
    model.layout().setClientSize(QSize(500, 300));
    model.setRowCount(5);
    model.setEditing(true);
    controller.key(Qt::Key_Down, Qt::NoModifier);
    controller.key(Qt::Key_Down, Qt::NoModifier);
    QVERIFY(model.openEditor());
    view.text = "typed";
    log.clear();
    handler.refuse = true;

    if (how == QStringLiteral("key"))
        controller.key(Qt::Key_Down, Qt::NoModifier);
    else if (how == QStringLiteral("wheel"))
        controller.wheel(-120);
    else if (how == QStringLiteral("press")) {
        const QPoint pos = model.layout().cellRect({ 2, 1 }).center();
        QVERIFY(!controller.press(pos, Qt::LeftButton, {}, 0));
        QVERIFY(!controller.release(pos, Qt::LeftButton));
    } else {
        model.setRowCount(2);
    }
    QCOMPARE(log, expected);
    QCOMPARE(model.current(), (GridCell { 1, 3 }));
    QCOMPARE(model.anchor(), (GridCell { 1, 3 }));
    QCOMPARE(model.rowCount(), 5);
    QVERIFY(model.editorMode());
    QCOMPARE(model.boundCell(), std::optional<GridCell>({ 1, 3 }));
    QVERIFY(view.shown);
}

void tst_GridModel::rowsWrittenOverTheOpenEditorReloadIt()
{
    QStringList log;
    FakeEditor view;
    view.log = &log;
    GridModel model(view);
    model.layout().setClientSize(QSize(500, 300));
    model.setRowCount(5);
    TaggedSource source;
    model.setSource(&source);
    model.setEditing(true);
    QVERIFY(model.openEditor());
    log.clear();
    source.tag = "r";
    model.sourceChanged({ 0, 1 }, { 4, 3 });
    // The editor held the old text of (1, 1): it takes the new one and is bound to it again.
    QCOMPARE(log, QStringList { "load \"r1:1\"" });
    QCOMPARE(model.boundCell(), std::optional<GridCell>(GridCell { 1, 1 }));
    QCOMPARE(model.cell(4, 3), std::string("r4:3"));
}

QTEST_GUILESS_MAIN(tst_GridModel)
#include "tst_GridModel.moc"
