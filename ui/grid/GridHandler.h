#pragma once

#include <cstdint>
#include <string>

// What an edit notification carries: a change the user just made in the editor (typing, a paste, the editor's own
// undo), or the editor's text handed back as the editor closes or leaves its cell.
enum class EditReport {
    Typed,
    HandedBack,
};

// The byte grid's two notifications. Both are raised synchronously from inside the grid's own operations, as plain
// C++ calls, so that an exception a handler throws travels through the grid's frames (which abandon the operation as
// documented) and on to the guard at the event's entry, never through Qt's.
class GridHandler {
public:
    virtual ~GridHandler() = default;

    // The cell (ACol, ARow) is about to become current. CanSelect arrives true; false cancels the move.
    virtual void selectCell(std::int32_t ACol, std::int32_t ARow, bool& CanSelect) = 0;
    // The editor bound to (ACol, ARow) holds Value, which is already stored as the cell's text.
    virtual void setEditText(std::int32_t ACol, std::int32_t ARow, const std::string& Value, EditReport report) = 0;
};
