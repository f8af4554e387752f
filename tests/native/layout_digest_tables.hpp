// Recorded digests of the layout regression test (layout_digest_test.cpp),
// each over eight seeds in order (1 to 8, 9 to 16, ...): kDigests of
// layout_page on random_page(seed) in every sort mode with and without
// random_clip(seed), kCutDigests of xycut and gaps on random_items(seed).
// Recorded from the layout and the cut as they stood before their speed work
// (commit ccb5154); when layout is meant to change its results, the failing
// test prints the new tables to paste here.
#pragma once

#include <cstdint>

namespace textloom::recorded {

inline constexpr std::uint64_t kDigests[] = {
    0x5e33627eed71be0cull, 0xb50f2a936450232full, 0xa627bcd6ccbf242eull, 0x9039be5bf16850d9ull,
    0x2ab803ebaf3b2a36ull, 0x617a68878fed3b8bull, 0x54c4fce3372b897aull, 0x441d0beaf53fdc96ull,
    0xac10f5c7970f6cb2ull, 0x633f9444f726acdcull, 0xe77d6f52f80b0bf4ull, 0x5f26729b937b0b78ull,
    0x8874a0ce4cefac0dull, 0x9f14ab18feef0e19ull, 0x410acc8783ef6447ull, 0x558ec1e0feb956bdull,
    0xe69531e05242c8e7ull, 0x4f89eb2b8c12117bull, 0xedfdd49e5c5cb299ull, 0x37d2c40b1cfebec1ull,
};

inline constexpr std::uint64_t kCutDigests[] = {
    0x899176d9d0783014ull, 0x1e64e1ce476d2361ull, 0xde5775ca08ad9e60ull, 0x4678bfac881e4953ull,
    0xb8cec347aeb12d87ull, 0x9ac7484b71ec8f73ull, 0x4e786fecfa2483b4ull, 0x683dafac8d3ee712ull,
    0x938eb35c4f245fb5ull, 0x9e750486f15357e0ull, 0x68745d25de77be72ull, 0x22fc9888c96a2c2aull,
    0x53dd96d673451bb6ull, 0xa0d02c703350d2b7ull, 0x6480c2eba9b0da99ull, 0xaf98631ccd146d7full,
    0xd2852c9ee5b2a4bdull, 0x452626f2f0766f55ull, 0x6ce4c9d64f2ac285ull, 0xdee56eaff9680abeull,
    0x486660617000c219ull, 0x21e21d1f6dffd864ull, 0xbd1af5a307ea90abull, 0x8a4124a6f49e974dull,
};

}  // namespace textloom::recorded
