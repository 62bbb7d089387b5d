#include "formats/qt/DecoderMessages.h"

#include <QString>
#include <QtGlobal>

#include <cstdio>
#include <mutex>

namespace velmora::images {

namespace {

thread_local DecoderMessages* t_current = nullptr;
QtMessageHandler g_previous = nullptr;

} // namespace

struct DecoderMessageSink {
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& text) {
        if (t_current && type != QtFatalMsg) {
            t_current->m_lines.push_back(text.toStdString());
            return;
        }
        if (g_previous) {
            g_previous(type, context, text);
            return;
        }
        // Qt's own handler cannot be called once replaced; this is what it prints.
        std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, text)));
    }
};

DecoderMessages::DecoderMessages() : m_outer(t_current) {
    // Installed once, the first time a picture is decoded, and chained to whatever was there.
    static std::once_flag installed;
    std::call_once(installed,
                   [] { g_previous = qInstallMessageHandler(DecoderMessageSink::handle); });
    t_current = this;
}

DecoderMessages::~DecoderMessages() {
    t_current = m_outer;
}

} // namespace velmora::images
