#pragma once

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "platform/debug_trace.h"
#include "platform/testing/test_files.h"
#include "update/engine/download_timeouts.h"
#include "update/engine/process_state.h"
#include "update/engine/task_record.h"
#include "update/engine/tests/http_test_servers.h"
#include "update/engine/tests/recording_presenter.h"

namespace update::download_testing {

namespace fs = std::filesystem;

// The bytes i % 251, i = 0, 1, ...: what http_test_server.py's routes send.
inline std::string pattern(std::size_t count) {
    std::string bytes(count, '\0');
    for (std::size_t i = 0; i < count; ++i) {
        bytes[i] = static_cast<char>(i % 251);
    }
    return bytes;
}

using platform::testing::readFile;
using platform::testing::writeFile;

// Collects the debug trace lines while it lives.
class TraceRecorder {
public:
    TraceRecorder() {
        std::lock_guard lock(s_mutex);
        s_lines.clear();
        m_previous = platform::setDebugTraceSink(&record);
    }
    ~TraceRecorder() { platform::setDebugTraceSink(m_previous); }
    TraceRecorder(const TraceRecorder&) = delete;
    TraceRecorder& operator=(const TraceRecorder&) = delete;

    std::vector<std::string> lines() const {
        std::lock_guard lock(s_mutex);
        return s_lines;
    }

private:
    static void record(std::string_view line) {
        std::lock_guard lock(s_mutex);
        s_lines.emplace_back(line);
    }

    platform::DebugTraceSink m_previous;
    inline static std::mutex s_mutex;
    inline static std::vector<std::string> s_lines;
};

// Sets or removes an environment variable, and puts the old value back.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const char* value)
        : m_name(name) {
        if (const char* old = std::getenv(name)) {
            m_old = old;
        }
        value ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ~ScopedEnvironment() { m_old ? ::setenv(m_name, m_old->c_str(), 1) : ::unsetenv(m_name); }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

// A served folder, a folder standing in for Update's directory, the servers
// (started on first use), recorded messages and short time-outs. Proxy settings
// of the environment are removed, so loopback requests go straight out.
class DownloadTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(servedFolder());
        fs::create_directories(appFolder());
        setAppPath(appFolder());
        setDownloadTimeouts({std::chrono::milliseconds(5000), std::chrono::seconds(3)});
    }

    void TearDown() override {
        g_bStop = false;
        setTaskListView(nullptr);
        setDownloadTimeouts({});
        m_fault.reset();
        m_nginx.reset();
    }

    fs::path servedFolder() const { return m_scratch.path() / "served"; }
    fs::path appFolder() const { return m_scratch.path() / "app"; }

    // URLs of the fault-injection server and of nginx; a refused URL when the
    // server cannot be started (the test then fails).
    std::string faultUrl(std::string_view path) { return url(m_fault, false, path); }
    std::string nginxUrl(std::string_view path) { return url(m_nginx, true, path); }

    std::vector<testing::ShownMessage> shown() const { return m_presenter.shown(); }

    sUpdateStruct m_record;
    std::string m_localPath;

private:
    std::string url(std::unique_ptr<test_servers::HttpTestServer>& server, bool nginx,
                    std::string_view path) {
        if (!server) {
            std::string error;
            server = nginx ? test_servers::startNginx(servedFolder(), error)
                           : test_servers::startFaultServer(servedFolder(), error);
            if (!server) {
                ADD_FAILURE() << error;
                return "http://127.0.0.1:" + std::to_string(test_servers::unusedLoopbackPort()) +
                       std::string(path);
            }
        }
        return server->url(path);
    }

    test_servers::ScratchDirectory m_scratch;
    testing::RecordingPresenter m_presenter;
    ScopedEnvironment m_noHttpProxy{"http_proxy", nullptr};
    ScopedEnvironment m_noAllProxy{"all_proxy", nullptr};
    ScopedEnvironment m_noAllProxyUpper{"ALL_PROXY", nullptr};
    std::unique_ptr<test_servers::HttpTestServer> m_fault;
    std::unique_ptr<test_servers::HttpTestServer> m_nginx;
};

} // namespace update::download_testing
