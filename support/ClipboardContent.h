#pragma once

#include <QString>

#include <optional>
#include <string>

// What the clipboard offers: its raw bytes (application/octet-stream), if it has them, and its text.
struct ClipboardContent {
    std::optional<std::string> octets;
    QString text;
};
