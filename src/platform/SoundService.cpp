#include "platform/SoundService.h"

#include <canberra.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace velmora {

QString resolveSoundPath(const QString& fileName, const QString& currentDir) {
    if (fileName.isEmpty())
        return QString();
    QString name = fileName;
    name.replace(u'\\', u'/');
    if (QDir::isAbsolutePath(name))
        return QDir::cleanPath(name);
    return QDir::cleanPath(QDir(currentDir).absoluteFilePath(name));
}

QString resolveSoundPath(const QString& fileName) {
    return resolveSoundPath(fileName, QDir::currentPath());
}

// libcanberra is driven from one worker thread: connecting to a sound server can take a
// while, and a click must never wait for it. Requests are played in order; one that fails is
// dropped without a word, as a missing sound is no reason to trouble the user.
struct CanberraSoundService::Context {
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<QByteArray> queue;
    bool stopping = false;
    std::thread worker;

    void run() {
        ca_context* context = nullptr;
        bool unavailable = false;
        for (;;) {
            QByteArray path;
            {
                std::unique_lock lock(mutex);
                wake.wait(lock, [this] { return stopping || !queue.empty(); });
                if (stopping)
                    break;
                path = std::move(queue.front());
                queue.pop_front();
            }
            if (!context && !unavailable) {
                if (ca_context_create(&context) != CA_SUCCESS) {
                    context = nullptr;
                    unavailable = true;
                } else {
                    ca_context_change_props(context, CA_PROP_APPLICATION_NAME, "Velmora", nullptr);
                }
            }
            if (context)
                ca_context_play(context, 0, CA_PROP_MEDIA_FILENAME, path.constData(), nullptr);
        }
        if (context)
            ca_context_destroy(context);
    }
};

CanberraSoundService::CanberraSoundService()
    : CanberraSoundService(QCoreApplication::applicationDirPath()) {}

CanberraSoundService::CanberraSoundService(QString baseFolder)
    : m_context(std::make_unique<Context>()), m_baseFolder(std::move(baseFolder)) {}

CanberraSoundService::~CanberraSoundService() {
    if (m_context->worker.joinable()) {
        {
            std::lock_guard lock(m_context->mutex);
            m_context->stopping = true;
        }
        m_context->wake.notify_one();
        m_context->worker.join();
    }
}

bool CanberraSoundService::playFile(const QString& fileName) {
    const QString path = resolveSoundPath(fileName, m_baseFolder);
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return false;
    {
        std::lock_guard lock(m_context->mutex);
        // A burst of clicks while the server is slow should not pile up.
        if (m_context->queue.size() >= 4)
            return false;
        m_context->queue.push_back(QFile::encodeName(path));
        if (!m_context->worker.joinable())
            m_context->worker = std::thread([context = m_context.get()] { context->run(); });
    }
    m_context->wake.notify_one();
    return true;
}

} // namespace velmora
