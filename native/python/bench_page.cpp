// bench_page: the native text pipeline on one page, reported as timings and
// counts only (no Python object for glyphs, blocks or words).

#include <cstdint>
#include <string>

#include "args.hpp"
#include "convert.hpp"
#include "errors.hpp"
#include "module_functions.hpp"
#include "module_state.hpp"
#include "page_bench.hpp"

namespace textloom::py {

namespace {

struct BenchPageArgs {
  std::uint64_t doc_addr = 0;
  std::int32_t index = 0;
};
const Signature<BenchPageArgs, 2> kBenchPageSignature{
    "bench_page", {{{"doc_addr", &BenchPageArgs::doc_addr}, {"index", &BenchPageArgs::index}}}};

}  // namespace

PyObject* bench_page(PyObject*, PyObject* args, PyObject* kwargs) {
  BenchPageArgs a;
  if (!parse_args(kBenchPageSignature, args, kwargs, a)) return nullptr;
  const Pdfium* pdf = initialised_pdfium();
  if (pdf == nullptr) return nullptr;
  Result<PageBench> run = textloom::bench_page(*pdf, document_at(a.doc_addr), a.index);
  if (!run) return raise(PyExc_RuntimeError, run.error());
  const PageBench& b = run.value();
  return int_dict({{"load_page_ns", b.load_page_ns},
                   {"load_text_ns", b.load_text_ns},
                   {"chars_ns", b.chars_ns},
                   {"close_ns", b.close_ns},
                   {"layout_ns", b.layout_ns},
                   {"words_ns", b.words_ns},
                   {"n_words", b.n_words},
                   {"n_glyphs", b.n_glyphs}});
}

const char* bench_page_doc() {
  static const std::string doc = docstring(
      kBenchPageSignature,
      "Benchmark helper: run extraction + layout + words for one page fully natively and return\n"
      "timings in ns (no Python objects): load_page, load_text, chars, close, layout, words, "
      "n_words.");
  return doc.c_str();
}

}  // namespace textloom::py
