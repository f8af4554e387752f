// Recorded digests of the layout regression test (layout_digest_test.cpp),
// each over eight seeds in order (1 to 8, 9 to 16, ...): kDigests of
// layout_page on random_page(seed) in every sort mode with and without
// random_clip(seed), kCutDigests of xycut and gaps on random_items(seed).
// Recorded from the layout and the cut as they stood before their speed work
// (commit ccb5154); kDigests again since letter-spaced runs lose the spaces
// between their letters (random lines whose letter gaps happen to read as
// tracking), spaces PDFium reports after Hangul and Thai stay, and runs of
// negative size that step against their advance are laid out as drawn (no
// line of the corpus changed by any of them). When layout is meant to change its
// results, the failing test prints the new tables to paste here.
#pragma once

#include <cstdint>

namespace textloom::recorded {

inline constexpr std::uint64_t kDigests[] = {
    0x63c9f502c5ba267aull, 0xfa9308cbdb6552f7ull, 0x37daff4b66184106ull, 0xdc7368511c965befull,
    0x9b35867c2d3cbcf6ull, 0xa850d981b225f9c4ull, 0x15331023f535c1a8ull, 0x644404b952450e9bull,
    0x15cbdfe704a7cfb0ull, 0x4c0178ac10dbf7ceull, 0x63e08c5e8c920a72ull, 0xd80e5f1d52a24b97ull,
    0x2fedd542769eb50bull, 0x2fc748e7edf97b16ull, 0x7e2255a345ea986eull, 0x83d5e13bcca51b11ull,
    0x2bae2660764a6085ull, 0x0c5f223ffe6faf19ull, 0x5f5a80ec4ff3f275ull, 0x882fe47d1bddd771ull,
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
