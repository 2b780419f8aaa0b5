// The configuration store against QSettings (INI format) on the same work: open a
// file of 10,000 keys in 500 sections, read every key, change 1,000 values and close
// (which saves). Each iteration works on a fresh copy of the file under a new name,
// so neither side can answer from a cache of the previous iteration.

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <QSettings>
#include <QString>
#include <benchmark/benchmark.h>

#include "config_store/config_store.h"

namespace {

constexpr int kSections = 500;
constexpr int kKeysPerSection = 20;
constexpr int kChangeEvery = 10; // 1,000 of the 10,000 keys

struct Names {
    std::vector<std::string> sections;
    std::vector<std::string> keys;
    std::vector<QString> qtPaths; // "Section/Key", one per key
};

const Names& names() {
    static const Names all = [] {
        Names made;
        char buffer[32];
        for (int s = 0; s < kSections; ++s) {
            std::snprintf(buffer, sizeof buffer, "Section%03d", s);
            made.sections.emplace_back(buffer);
        }
        for (int k = 0; k < kKeysPerSection; ++k) {
            std::snprintf(buffer, sizeof buffer, "Key%02d", k);
            made.keys.emplace_back(buffer);
        }
        for (const std::string& section : made.sections) {
            for (const std::string& key : made.keys) {
                made.qtPaths.push_back(QString::fromStdString(section + "/" + key));
            }
        }
        return made;
    }();
    return all;
}

bool isIntegerKey(int key) {
    return key % 2 == 0;
}

// One text both formats read alike: even keys hold integers, odd keys plain text.
const std::string& fileContent() {
    static const std::string content = [] {
        std::string text;
        for (int s = 0; s < kSections; ++s) {
            text += "[" + names().sections[s] + "]\n";
            for (int k = 0; k < kKeysPerSection; ++k) {
                const int n = s * kKeysPerSection + k;
                text += names().keys[k] + "=" +
                        (isIntegerKey(k) ? std::to_string(n * 37)
                                         : "text value " + std::to_string(n) + " of the store") +
                        "\n";
            }
            text += "\n";
        }
        return text;
    }();
    return content;
}

// A fresh copy of the test file per iteration, made and removed outside the timing.
class FreshFiles {
public:
    explicit FreshFiles(std::string tag)
        : m_folder(std::filesystem::temp_directory_path() / ("bench-config-store-" + tag)) {
        std::filesystem::create_directories(m_folder);
    }
    ~FreshFiles() { std::filesystem::remove_all(m_folder); }

    std::string next() {
        const std::filesystem::path path = m_folder / ("run" + std::to_string(++m_count) + ".ini");
        std::ofstream(path, std::ios::binary) << fileContent();
        return path.string();
    }

private:
    std::filesystem::path m_folder;
    int m_count = 0;
};

void BM_ConfigStore(benchmark::State& state) {
    FreshFiles files("ours");
    const Names& all = names();
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const std::string path = files.next();
        state.ResumeTiming();

        const CfgHandle handle = cfgOpenFile(path.c_str(), "");
        for (const std::string& section : all.sections) {
            for (int k = 0; k < kKeysPerSection; ++k) {
                const char* key = all.keys[k].c_str();
                if (isIntegerKey(k)) {
                    benchmark::DoNotOptimize(cfgGetValue(handle, section.c_str(), key, 0));
                } else {
                    benchmark::DoNotOptimize(cfgGetValue(handle, section.c_str(), key, ""));
                }
            }
        }
        ++round;
        for (const std::string& section : all.sections) {
            for (int k = 0; k < kKeysPerSection; k += kChangeEvery) {
                cfgSetValue(handle, section.c_str(), all.keys[k].c_str(), round);
            }
        }
        if (!cfgClose(handle)) {
            state.SkipWithError("cfgClose failed");
        }
    }
}

void BM_QSettings(benchmark::State& state) {
    FreshFiles files("qsettings");
    const Names& all = names();
    int round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const QString path = QString::fromStdString(files.next());
        state.ResumeTiming();
        {
            QSettings settings(path, QSettings::IniFormat);
            for (std::size_t i = 0; i < all.qtPaths.size(); ++i) {
                const QVariant value = settings.value(all.qtPaths[i]);
                if (isIntegerKey(static_cast<int>(i % kKeysPerSection))) {
                    benchmark::DoNotOptimize(value.toInt());
                } else {
                    benchmark::DoNotOptimize(value.toString());
                }
            }
            ++round;
            for (std::size_t i = 0; i < all.qtPaths.size(); i += kChangeEvery) {
                settings.setValue(all.qtPaths[i], round);
            }
            settings.sync();
            if (settings.status() != QSettings::NoError) {
                state.SkipWithError("QSettings::sync failed");
            }
        }
    }
}

BENCHMARK(BM_ConfigStore)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_QSettings)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
