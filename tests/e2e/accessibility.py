"""What a screen reader user gets from the program, read and driven through AT-SPI as a screen reader does.

Started by accessibility.sh inside a private D-Bus session and X server, with the work folder as argument; the
program's copy waits there in app/. Every wait polls with a bound, so a slow machine answers late, never wrongly.
"""
import os
import subprocess
import sys
import time

import pyatspi
from gi.repository import GLib

WORK = sys.argv[1]
DATA = os.path.join(WORK, "data.bin")
SETTINGS = os.path.join(WORK, "app", "Quillmoor.ini")
BLOCK = 8192
SIZE = 2 * BLOCK + 1808  # three blocks, the last one short


def pattern(offset):
    return (offset * 37 + 11) & 0xFF


failures = []
events = []


def check(condition, what):
    print(("ok    " if condition else "FAIL  ") + what, flush=True)
    if not condition:
        failures.append(what)
    return condition


def pump(seconds):
    context = GLib.MainContext.default()
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        while context.pending():
            context.iteration(False)
        time.sleep(0.02)


def wait_until(predicate, seconds=20.0):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        pump(0.05)
        try:
            if predicate():
                return True
        except Exception:  # an object still being built answers on a later try
            pass
    return False


def heard(event):
    try:
        name = event.source.name
    except Exception:
        name = None
    events.append((event.type, event.detail1, name))


def heard_since(mark, kind, detail, name):
    return any(e == (kind, detail, name) for e in events[mark:])


def find(root, predicate, depth=0):
    """The first object below root that predicate accepts; tables are not searched into."""
    if predicate(root):
        return root
    if depth > 12 or root.getRole() == pyatspi.ROLE_TABLE:
        return None
    for i in range(root.childCount):
        found = find(root.getChildAtIndex(i), predicate, depth + 1)
        if found is not None:
            return found
    return None


def focused_besides(skipped, root, depth=0):
    """Every object below root that reports the focused state, the table named skipped left out."""
    if depth > 12 or root is None or (root.getRole() == pyatspi.ROLE_TABLE and root.name == skipped):
        return []
    found = [root] if root.getState().contains(pyatspi.STATE_FOCUSED) else []
    for i in range(root.childCount):
        found += focused_besides(skipped, root.getChildAtIndex(i), depth + 1)
    return found


def the_program():
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is not None and app.name == "Quillmoor":
            return app
    return None


def key(*keys):
    subprocess.run(["xdotool", "key", "--delay", "50", *keys], check=True)


def settings_start():
    with open(SETTINGS, "rb") as f:
        for line in f.read().split(b"\r\n"):
            if line.startswith(b"StartByte="):
                return int(line[len(b"StartByte="):])
    return None


def byte_on_disk(offset):
    with open(DATA, "rb") as f:
        return f.read()[offset]


def main():
    with open(DATA, "wb") as f:
        f.write(bytes(pattern(i) for i in range(SIZE)))
    with open(SETTINGS, "wb") as f:
        f.write(b"[File]\r\nNameFile=" + DATA.encode() + b"\r\nStartByte=0\r\n")
    for kind in ("object:state-changed:selected", "object:state-changed:checked", "object:selection-changed",
                 "object:row-inserted", "object:row-deleted", "focus:", "object:property-change:accessible-name"):
        pyatspi.Registry.registerEventListener(heard, kind)

    log = open(os.path.join(WORK, "app.log"), "wb")
    program = subprocess.Popen([os.path.join(WORK, "app", "quillmoor")], stdout=log, stderr=log)
    try:
        run_checks()
    finally:
        program.terminate()
        try:
            program.wait(10)
        except subprocess.TimeoutExpired:
            program.kill()
    if failures:
        with open(os.path.join(WORK, "app.log"), "rb") as f:
            sys.stderr.write(f.read().decode(errors="replace")[-3000:])
        print("accessibility: %d failed" % len(failures))
        sys.exit(1)
    print("accessibility: all passed")


def run_checks():
    app = None

    def started():
        nonlocal app
        app = the_program()
        return app is not None and find(app, lambda o: o.getRole() == pyatspi.ROLE_TABLE) is not None

    if not check(wait_until(started, 40), "the program shows itself to the screen reader with its table"):
        return
    table = find(app, lambda o: o.getRole() == pyatspi.ROLE_TABLE)
    cells = table.queryTable()
    check(table.name == "Таблица байтов", "the table is named: %r" % table.name)
    check(wait_until(lambda: cells.nRows == BLOCK + 2), "the first block's rows and the header row: %d" % cells.nRows)
    check(cells.nColumns == 5, "five columns")

    # Headers, from the table, for every column and for rows at both ends of the block.
    columns = [cells.getColumnHeader(c) for c in range(5)]
    check([h.name if h else None for h in columns] == ["Nбайта", "Hex", "Dec", "Bin", "Ascii"],
          "each column's header: %r" % [h.name if h else None for h in columns])
    for row in (1, 2, BLOCK + 1):
        header = cells.getRowHeader(row)
        want = "%08X (%d)" % (row - 1, row - 1)
        check(header is not None and header.name == want, "row %d's header reads %s" % (row, want))
    check(cells.getRowHeader(10 * BLOCK) is None, "a row beyond the table has no header, and the program lives on")

    # A byte of the Cyrillic half reads as its letter.
    offset = next(o for o in range(BLOCK) if pattern(o) >= 0xC0)
    letter = bytes([pattern(offset)]).decode("cp1251")
    cell = cells.getAccessibleAt(offset + 1, 4)
    check(cell.name == letter and cell.getRole() == pyatspi.ROLE_TABLE_CELL,
          "the Ascii cell of offset %d reads %r: %r" % (offset, letter, cell.name))

    # The keyboard goes to the program's window; the table takes the focus as a reader would give it.
    window = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^Файл : "],
                            capture_output=True, text=True).stdout.split()
    if window:
        subprocess.run(["xdotool", "windowactivate", "--sync", window[0]], check=False)
    table.queryComponent().grabFocus()
    check(wait_until(lambda: table.getState().contains(pyatspi.STATE_FOCUSED), 10), "the table takes the focus")

    # Cells the reader holds hear their selection change both ways.
    held = {(r, c): cells.getAccessibleAt(r, c) for r in (1, 2, 3) for c in (1, 2)}
    selected = lambda r, c: held[(r, c)].getState().contains(pyatspi.STATE_SELECTED)
    check(selected(1, 1) and not selected(2, 1), "at start the first byte's Hex cell alone is selected")
    mark = len(events)
    key("shift+Down")
    check(wait_until(lambda: heard_since(mark, "object:state-changed:selected", 1, held[(2, 1)].name), 10),
          "shift+Down: the cell below says it is selected")
    check(selected(1, 1) and selected(2, 1), "both cells of the range read as selected")
    mark = len(events)
    key("Down")
    check(wait_until(lambda: heard_since(mark, "object:state-changed:selected", 0, held[(1, 1)].name)
                     and heard_since(mark, "object:state-changed:selected", 0, held[(2, 1)].name), 10),
          "Down: both cells of the range say they are no longer selected")
    check(selected(3, 1) and not selected(1, 1) and not selected(2, 1), "only the new current cell reads as selected")
    check(wait_until(lambda: heard_since(mark, "focus:", 0, held[(3, 1)].name), 10)
          and held[(3, 1)].getState().contains(pyatspi.STATE_FOCUSED), "the new current cell has the focus")

    # The write switch, through its Toggle action, turns editing on; a byte typed then reaches the file.
    switch = find(app, lambda o: o.getRole() == pyatspi.ROLE_CHECK_BOX)
    check(switch is not None and switch.name == "Разрешить запись на диск", "the write switch is there")
    actions = switch.queryAction()
    names = [actions.getName(i) for i in range(actions.nActions)]
    mark = len(events)
    check("Toggle" in names and actions.doAction(names.index("Toggle")), "the switch offers Toggle: %r" % names)
    check(wait_until(lambda: heard_since(mark, "object:state-changed:checked", 1, switch.name), 10)
          and switch.getState().contains(pyatspi.STATE_CHECKED), "the switch says it is ticked")
    table.queryComponent().grabFocus()
    wait_until(lambda: table.getState().contains(pyatspi.STATE_FOCUSED), 10)
    key("a")
    editor = []

    def editor_shown():
        last = table.getChildAtIndex(table.childCount - 1)
        if last is not None and last.getRole() == pyatspi.ROLE_TEXT:
            editor[:] = [last]
            return True
        return False

    if check(wait_until(editor_shown, 10), "a typed letter opens the cell's editor"):
        check(editor[0].name == "Hex, 00000002 (2)", "the editor is named after its cell: %r" % editor[0].name)
    key("b", "Down")
    check(wait_until(lambda: byte_on_disk(2) == 0xAB, 10), "the byte typed, AB, is written at offset 2")
    check(byte_on_disk(1) == pattern(1) and byte_on_disk(3) == pattern(3), "its neighbours are untouched")

    # The arrows press through their actions; the settings' start follows, and so does the table's size.
    up = find(app, lambda o: o.getRole() == pyatspi.ROLE_PUSH_BUTTON and o.name == "Предыдущий блок")
    down = find(app, lambda o: o.getRole() == pyatspi.ROLE_PUSH_BUTTON and o.name == "Следующий блок")
    if not check(up is not None and down is not None, "both arrows are there"):
        return
    check(up.description == "Перейти к пред. блоку (8192 байта)", "the upper arrow says where it goes")
    check(down.description == "Перейти к след. блоку (8192 байта)", "the lower arrow says where it goes")
    down.queryAction().doAction(0)
    check(wait_until(lambda: settings_start() == BLOCK), "next block: the settings' start is 8192")
    down.queryAction().doAction(0)
    check(wait_until(lambda: settings_start() == 2 * BLOCK), "next block again: the settings' start is 16384")
    check(wait_until(lambda: cells.nRows == 1808 + 1), "the short last block has 1808 rows: %d" % cells.nRows)
    check(cells.getRowHeader(1).name == "%08X (%d)" % (2 * BLOCK, 2 * BLOCK), "its first row is offset 16384")
    up.queryAction().doAction(0)
    check(wait_until(lambda: settings_start() == BLOCK), "previous block: the settings' start is 8192")
    check(wait_until(lambda: cells.nRows == BLOCK + 2), "a full block again: %d rows" % cells.nRows)
    row_events = sum(1 for e in events if e[0] in ("object:row-inserted", "object:row-deleted"))
    print("info  row change events heard: %d" % row_events)

    # The find prompt's edit is named by its prompt and labelled by it.
    key("ctrl+f")
    prompt = []

    def prompt_shown():
        prompt[:] = [find(the_program(), lambda o: o.getRole() == pyatspi.ROLE_TEXT and o.name.startswith("Байты"))]
        return prompt[0] is not None

    if check(wait_until(prompt_shown, 10), "Ctrl+F shows the find prompt with its edit named by the prompt"):
        relations = [r.getRelationType() for r in prompt[0].getRelationSet()]
        check(pyatspi.RELATION_LABELLED_BY in relations, "the edit is labelled by its prompt: %r" % relations)
    key("Escape")

    # The table's pop-up menu, opened from the keyboard, is heard at once with its first item, and is found in the
    # tree while it is open.
    wait_until(lambda: table.getState().contains(pyatspi.STATE_FOCUSED), 10)
    mark = len(events)
    key("shift+F10")
    check(wait_until(lambda: any(e[0] == "focus:" and e[2] == "Перейти к началу файла" for e in events[mark:]), 10),
          "shift+F10: the menu's first item is heard: %r" % events[mark:])
    menu = lambda: find(the_program(), lambda o: o.getRole() == pyatspi.ROLE_POPUP_MENU)
    check(wait_until(lambda: menu().getChildAtIndex(0).name == "Перейти к началу файла", 10),
          "the open menu is in the tree with its items")
    key("Escape")
    check(wait_until(lambda: menu() is None, 10), "the closed menu has left the tree")

    # The value window shows beside the window, which keeps the keyboard: nothing in it is heard as focused.
    check(wait_until(lambda: table.getState().contains(pyatspi.STATE_FOCUSED), 10), "the grid has the focus again")
    mark = len(events)
    key("F12")
    shown = lambda: find(the_program(), lambda o: o.getRole() == pyatspi.ROLE_TABLE and o.name == "Значения")
    if not check(wait_until(lambda: shown() is not None, 10), "F12 shows the value table"):
        return
    values = shown().queryTable()
    pump(1)
    check(not any(e[0] == "focus:" for e in events[mark:]) and table.getState().contains(pyatspi.STATE_FOCUSED),
          "F12: the grid keeps the focus, and no value cell is heard as focused: %r" % events[mark:])
    elsewhere = [o.name for o in focused_besides(table.name, the_program())]
    check(not elsewhere, "F12: nothing but the grid reads as focused: %r" % elsewhere)

    # A row moved in the grid: every value that changes is heard with its new text.
    texts = lambda: {(r, c): values.getAccessibleAt(r, c).name for r in range(values.nRows) for c in (1, 2)}
    before = texts()
    mark = len(events)
    key("Down")
    wait_until(lambda: texts() != before, 10)
    changed = {name for cell, name in texts().items() if name != before[cell]}
    renamed = lambda: {e[2] for e in events[mark:] if e[0] == "object:property-change:accessible-name"}
    check(changed and wait_until(lambda: changed <= renamed(), 10), "each changed value is heard: %r" % changed)

    # Tab into the value table, back from an error box, and out of an editor that wrote: the current cell is the
    # last thing heard each time.
    heard_last = lambda since, name: wait_until(
        lambda: next((e[2] for e in reversed(events[since:]) if e[0] == "focus:"), None) == name, 10)
    cell = lambda row, col: values.getAccessibleAt(row, col)
    mark = len(events)
    key("Tab")
    check(heard_last(mark, cell(0, 1).name) and cell(0, 1).getState().contains(pyatspi.STATE_FOCUSED),
          "Tab: the current value cell, int8 LE, is heard: %r" % events[mark:])
    elsewhere = [o.name for o in focused_besides(table.name, the_program())]
    check(elsewhere == ["Значения", cell(0, 1).name] and not table.getState().contains(pyatspi.STATE_FOCUSED),
          "Tab: the value table and its current cell alone read as focused: %r" % elsewhere)
    mark = len(events)
    key("Down", "Return")
    check(heard_last(mark, "uint8, Прямой (LE)"), "Enter opens the uint8 cell's editor, named so")
    mark = len(events)
    key("ctrl+a", "x", "Return")
    check(heard_last(mark, "OK"), "a text that is no number is refused with a message")
    mark = len(events)
    key("Return")
    check(heard_last(mark, cell(1, 1).name) and cell(1, 1).getState().contains(pyatspi.STATE_FOCUSED),
          "after the message the uint8 cell is heard again: %r" % events[mark:])
    mark = len(events)
    key("Return", "ctrl+a", "2", "0", "0", "Return")
    check(heard_last(mark, "200") and cell(1, 1).name == "200", "Enter writes 200, heard in its cell: %r" % events[mark:])
    key("F12")

main()
