// Blowfish and CRC-16 throughput on a large buffer and on one packed record's worth of bytes,
// and the time a password check against a crib takes.
#include <benchmark/benchmark.h>

// The yardstick uses OpenSSL's low-level Blowfish, which OpenSSL 3 marks deprecated.
#define OPENSSL_SUPPRESS_DEPRECATED
#include <openssl/blowfish.h>

#include <memory>
#include <random>
#include <vector>

#include "lkmdb7/database/Crib.h"
#include "lkmdb7/database/DatabaseObj7.h"
#include "lkmdb7/foundation/internal/Blowfish.h"
#include "lkmdb7/foundation/internal/Crc16.h"

using namespace LKMDB7;

namespace {

constexpr unsigned char kKey[16] = {0xf0, 0xe1, 0xd2, 0xc3, 0xb4, 0xa5, 0x96, 0x87,
                                    0x78, 0x69, 0x5a, 0x4b, 0x3c, 0x2d, 0x1e, 0x0f};

std::vector<BYTE> RandomBuffer(std::size_t n) {
    std::mt19937 gen(42);
    std::vector<BYTE> out(n);
    for (auto& b : out) {
        b = static_cast<BYTE>(gen());
    }
    return out;
}

void SetBytes(benchmark::State& state, std::size_t n) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(n));
}

void BM_BlowfishEncrypt(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    auto key = std::make_unique<LKMDB7::BlowfishKey>();
    LKMDB7::BlowfishSetKey(key.get(), kKey, sizeof kKey);
    auto buf = RandomBuffer(n);
    for (auto _ : state) {
        LKMDB7::BlowfishCryptBytes(key.get(), buf.data(), buf.size(), true);
        benchmark::ClobberMemory();
    }
    SetBytes(state, n);
}

void BM_OpenSslBfEcbEncrypt(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    BF_KEY key;
    BF_set_key(&key, sizeof kKey, kKey);
    auto buf = RandomBuffer(n);
    for (auto _ : state) {
        for (std::size_t i = 0; i + 8 <= n; i += 8) {
            BF_ecb_encrypt(buf.data() + i, buf.data() + i, &key, BF_ENCRYPT);
        }
        benchmark::ClobberMemory();
    }
    SetBytes(state, n);
}

void BM_Crc16Sliced(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    const auto buf = RandomBuffer(n);
    for (auto _ : state) {
        benchmark::DoNotOptimize(LKMDB7::Crc16Bytes(buf.data(), n, 0x1D0F));
    }
    SetBytes(state, n);
}

void BM_Crc16ByteAtATime(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    const auto buf = RandomBuffer(n);
    for (auto _ : state) {
        benchmark::DoNotOptimize(LKMDB7::Crc16Reference(buf.data(), n, 0x1D0F));
    }
    SetBytes(state, n);
}

}  // namespace

// Checking a password against a crib of ours, by cost: the wait before every command on a
// database with a password (lkmdb writes cost 10).
void BM_CribCheck(benchmark::State& state) {
    unsigned char crib[LKMDB7::kCribSize];
    LKMDB7::MakeCrib("correct horse battery staple", crib, static_cast<int>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(LKMDB7::CribMatches(crib, "correct horse battery staple"));
    }
}

BENCHMARK(BM_BlowfishEncrypt)->Arg(65536)->Arg(200);
BENCHMARK(BM_OpenSslBfEcbEncrypt)->Arg(65536)->Arg(200);
BENCHMARK(BM_Crc16Sliced)->Arg(65536)->Arg(200);
BENCHMARK(BM_Crc16ByteAtATime)->Arg(65536)->Arg(200);
BENCHMARK(BM_CribCheck)->Arg(10)->Arg(12)->Unit(benchmark::kMillisecond);
