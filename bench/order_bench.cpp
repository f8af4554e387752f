// order_bench [ROUNDS]
//
// XY-cut and the "reading" order on synthetic pages of many blocks: two columns of 1000 one-line
// blocks (cut into columns at once), the same under a full-width heading (the
// rows merge into one band of 2000 blocks before the columns are cut), and a
// grid of three columns with a full-width rule every 20 rows; and 5,000 and
// 50,000 boxes strewn over a page, overlapping (growth with n). (The order test
// checks the incremental band merge against a from-scratch one.)

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "clock.hpp"
#include "order.hpp"
#include "sort.hpp"

using namespace textloom;

namespace {

struct Page {
  const char* name;
  std::vector<OrderItem> items;
};

void add(std::vector<OrderItem>& items, double x0, double y0, double x1, double y1) {
  items.push_back({items.size(), {x0, y0, x1, y1}});
}

std::vector<Page> pages() {
  std::vector<Page> out;
  Page two{"2 columns x 1000 lines", {}};
  for (int i = 0; i < 1000; ++i) {
    const double y = 12.0 * i;
    add(two.items, 50 + (i % 7), y, 280 - (i % 5), y + 10);
    add(two.items, 310 + (i % 3), y, 550 - (i % 11), y + 10);
  }
  Page heading{"heading + 2 columns x 1000 lines", {}};
  add(heading.items, 50, -30, 550, -10);
  for (const OrderItem& it : two.items) add(heading.items, it.box.x0, it.box.y0, it.box.x1, it.box.y1);
  Page grid{"3 columns x 900 lines, rule every 20", {}};
  for (int i = 0; i < 900; ++i) {
    const double y = 12.0 * i;
    if (i % 20 == 0) {
      add(grid.items, 40, y, 560, y + 10);
      continue;
    }
    for (int c = 0; c < 3; ++c) add(grid.items, 40 + 180 * c + (i % 4), y, 200 + 180 * c - (i % 6), y + 10);
  }
  out.push_back(std::move(two));
  out.push_back(std::move(heading));
  out.push_back(std::move(grid));
  // Boxes strewn over one page, most overlapping several others.
  for (std::size_t n : {std::size_t{5000}, std::size_t{50000}}) {
    Page strewn{n == 5000 ? "5000 overlapping blocks" : "50000 overlapping blocks", {}};
    std::uint64_t state = 12345;
    auto next = [&state] {
      state = state * 6364136223846793005ULL + 1442695040888963407ULL;
      return static_cast<double>(state >> 40) / static_cast<double>(1ULL << 24);
    };
    for (std::size_t i = 0; i < n; ++i) {
      const double x = 600 * next(), y = 800 * next();
      add(strewn.items, x, y, x + 150 * next(), y + 40 * next());
    }
    out.push_back(std::move(strewn));
  }
  return out;
}

std::uint64_t median(std::vector<std::uint64_t> v) {
  std::nth_element(v.begin(), v.begin() + static_cast<long>(v.size() / 2), v.end());
  return v[v.size() / 2];
}

// One block per item, of one line holding one char of size 10.
std::vector<Block> blocks_of(const std::vector<OrderItem>& items) {
  std::vector<Block> out(items.size());
  for (std::size_t i = 0; i < items.size(); ++i) {
    Line& line = out[i].lines.emplace_back();
    Char c{};
    c.bbox = items[i].box, c.size = 10, c.ch = 'a';
    line.chars.push_back(c);
    line.bbox = out[i].bbox = items[i].box;
    out[i].number = i;
  }
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::atoi(argv[1]) : 15;
  std::printf("%-38s %8s %14s %14s\n", "page", "blocks", "xycut us", "reading us");
  for (const Page& page : pages()) {
    std::vector<std::uint64_t> times, reading_times;
    const std::vector<Block> blocks = blocks_of(page.items);
    for (int r = 0; r < rounds; ++r) {
      const std::uint64_t t0 = now_ns();
      const std::vector<OrderItem> order = xycut(page.items, 0, 12.5, 2.0);
      times.push_back(elapsed_ns(t0, now_ns()));
      if (order.size() != page.items.size()) return 1;
      std::vector<Block> copy = blocks;  // sort_reading works in place
      const std::uint64_t t1 = now_ns();
      sort_reading(copy, 0);
      reading_times.push_back(elapsed_ns(t1, now_ns()));
      if (copy.size() != blocks.size()) return 1;
    }
    std::printf("%-38s %8zu %14.1f %14.1f\n", page.name, page.items.size(),
                static_cast<double>(median(times)) / 1e3,
                static_cast<double>(median(reading_times)) / 1e3);
  }
  return 0;
}
