// Recorded digests of the layout regression test (layout_digest_test.cpp),
// each over eight seeds in order (1 to 8, 9 to 16, ...): kDigests of
// layout_page on random_page(seed) in every sort mode with and without
// random_clip(seed), kCutDigests of xycut and gaps on random_items(seed).
// Recorded from the layout and the cut as they stood before their speed work
// (commit ccb5154); kDigests again since letter-spaced runs lose the spaces
// between their letters (random lines whose letter gaps happen to read as
// tracking; no line of the corpus changed). When layout is meant to change its
// results, the failing test prints the new tables to paste here.
#pragma once

#include <cstdint>

namespace textloom::recorded {

inline constexpr std::uint64_t kDigests[] = {
    0x479c4a6c23a72383ull, 0x7e0c766cc34d008dull, 0xd70a7a857177e575ull, 0x54d4000ef6e0a7caull,
    0x9caa78f03a691a51ull, 0xd5ab50d8b6e90786ull, 0x37fa276051c1853bull, 0x373173a9fcf8f023ull,
    0x39068f3b8c2fe9b4ull, 0x84bd49d65d57aa2eull, 0xcca9b0ee470204f6ull, 0x37f0a6840f508902ull,
    0x2b8264dd562411b9ull, 0xbf5b5aca017fb838ull, 0x7e2255a345ea986eull, 0x35c83975c4a40824ull,
    0xec9739f5bddcc1d4ull, 0x59343fb9a32a769eull, 0xd5d9c58a3e291d86ull, 0x13d4424fc54e7aa6ull,
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
