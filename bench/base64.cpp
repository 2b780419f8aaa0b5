// Base64 of a large crash dump: ours against OpenSSL's EVP_EncodeBlock, both into
// a buffer made beforehand, and ours with the allocation of its result.
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>
#include <openssl/evp.h>

#include "crash_sender/mail/base64.h"

namespace {

constexpr std::size_t kInputBytes = std::size_t{256} << 20;

const std::vector<unsigned char>& input() {
    static const std::vector<unsigned char> bytes = [] {
        std::vector<unsigned char> made(kInputBytes);
        std::mt19937_64 random(1);
        for (std::size_t i = 0; i + 8 <= made.size(); i += 8) {
            const std::uint64_t word = random();
            for (int k = 0; k < 8; ++k) {
                made[i + static_cast<std::size_t>(k)] = static_cast<unsigned char>(word >> (8 * k));
            }
        }
        return made;
    }();
    return bytes;
}

std::vector<char>& output() {
    static std::vector<char> text(crash_mail::base64EncodedSize(kInputBytes) + 1);
    return text;
}

void encodeInto(benchmark::State& state) {
    const auto& bytes = input();
    auto& text = output();
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            crash_mail::base64EncodeInto(bytes.data(), bytes.size(), text.data()));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

void openSslEncodeBlock(benchmark::State& state) {
    const auto& bytes = input();
    auto& text = output();
    for (auto _ : state) {
        benchmark::DoNotOptimize(EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()),
                                                 bytes.data(), static_cast<int>(bytes.size())));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

void encodeToString(benchmark::State& state) {
    const auto& bytes = input();
    for (auto _ : state) {
        benchmark::DoNotOptimize(crash_mail::Base64Encode(bytes.data(), bytes.size()));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

} // namespace

BENCHMARK(encodeInto)->Name("Base64Encode/256MiB")->Unit(benchmark::kMillisecond);
BENCHMARK(openSslEncodeBlock)->Name("EVP_EncodeBlock/256MiB")->Unit(benchmark::kMillisecond);
BENCHMARK(encodeToString)
    ->Name("Base64Encode_with_allocation/256MiB")
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
