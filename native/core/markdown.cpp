// markdown_pages: two passes over the pages. The first lays each page out and
// surveys it (type sizes, candidate running headers and footers); between the
// passes the body size, heading sizes and running lines are settled over all
// pages; the second lays each page out again and writes it. Laying out twice
// costs less than keeping every page's layout for a long document; a single
// page keeps its layout from the first pass.

#include "markdown.hpp"

#include <optional>

#include "markdown_internal.hpp"

namespace textloom {

std::vector<std::string> markdown_pages(const std::vector<const PageGlyphs*>& pages,
                                        const MarkdownOptions& options) {
  const LayoutParams params{};
  markdown::CharCounts counts;
  std::vector<markdown::PageSurvey> surveys(pages.size());
  std::vector<Block> kept;  // the layout of a single page
  for (std::size_t i = 0; i < pages.size(); ++i) {
    std::vector<Block> blocks = layout_page(*pages[i], options.sort, std::nullopt, params);
    markdown::survey_page(blocks, *pages[i], counts, surveys[i]);
    if (pages.size() == 1) kept = std::move(blocks);
  }
  const markdown::TypeScale scale = markdown::type_scale(counts, surveys);
  std::vector<std::vector<markdown::LineRef>> dropped(pages.size());
  if (!options.keep_headers) dropped = markdown::running_lines(surveys);
  surveys.clear();

  std::vector<std::string> out;
  out.reserve(pages.size());
  for (std::size_t i = 0; i < pages.size(); ++i) {
    const std::vector<Block> blocks = pages.size() == 1
        ? std::move(kept)
        : layout_page(*pages[i], options.sort, std::nullopt, params);
    out.push_back(markdown::page_markdown(blocks, *pages[i], scale, dropped[i], options));
  }
  return out;
}

}  // namespace textloom
