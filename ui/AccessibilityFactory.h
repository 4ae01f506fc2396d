#pragma once

// Makes QAccessible::queryAccessibleInterface() answer with the program's own interfaces (the byte grid's
// table, the spin button's two arrows, the tables whose current cell is focused only with the keyboard) and starts
// following whether a screen reader listens. The program calls it once at start, before it builds its window; a
// test that looks at accessibility calls it in its init. Only the first call does anything.
void installAccessibility();
