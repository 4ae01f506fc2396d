#pragma once

#include <QtGlobal>

#include <cstdio>

// Benchmarks run on the offscreen platform, whose notes about window hints would drown the figures: only real
// errors are printed. Called before the application is made.
inline void runOffscreenQuietly()
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& message) {
        if (type != QtDebugMsg && type != QtWarningMsg && type != QtInfoMsg)
            std::fprintf(stderr, "%s\n", qPrintable(message));
    });
}
