// Building the text schemas. Lists are created at their final size and filled
// in place; dictionaries below the page level use the interned keys.

#include "text_schemas.hpp"

#include <bit>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

#include "convert.hpp"
#include "gc_pause.hpp"
#include "module_state.hpp"
#include "utf8.hpp"

namespace textloom::py {

namespace {

// The fixed values of the schemas.
constexpr long kTextBlockType = 0;       // a block's "type": text (there are no image blocks)
constexpr long kBlockFlags = 0;          // a block's "flags": none are defined
constexpr long kCharFlagsAllReal = 16;   // a span's "char_flags": no inserted space in it
constexpr long kCharFlagsSynthetic = 0;  // ... a space that layout inserted among its chars
constexpr long kOpaqueAlpha = 255;       // a span's "alpha": the fill alpha is not read
// A char's "idx" is its text-page index read as a signed 32-bit number, so an
// inserted space (kSyntheticIdx) reads as -1.
constexpr std::int32_t kSyntheticCharIdx = -1;
static_assert(static_cast<std::int32_t>(kSyntheticIdx) == kSyntheticCharIdx);

PyObject* str_of(std::string_view utf8) {
  return PyUnicode_FromStringAndSize(utf8.data(), static_cast<Py_ssize_t>(utf8.size()));
}

// dict[key] = value; steals value. False with an exception set on failure.
bool put(PyObject* dict, PyObject* key, PyObject* value) {
  if (value == nullptr) return false;
  const int status = PyDict_SetItem(dict, key, value);
  Py_DECREF(value);
  return status == 0;
}

PyObject* mapped_box(const Xf& xf, const Rect& box) {
  const Rect r = xf.rc(box);
  return bbox_tuple(r.x0, r.y0, r.x1, r.y1);
}

PyObject* mapped_point(const Xf& xf, double x, double y) {
  xf.point(x, y);
  return pair_tuple(x, y);
}

// Fills a new list of `count` items from make(i); null on any failure.
template <class Make>
PyObject* list_of(std::size_t count, Make make) {
  Ref list = Ref::steal(PyList_New(static_cast<Py_ssize_t>(count)));
  if (!list) return nullptr;
  for (std::size_t i = 0; i < count; ++i) {
    PyObject* item = make(i);
    if (item == nullptr) return nullptr;
    PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), item);  // steals item
  }
  return list.release();
}

// Everything a dict result needs for one call: the keys, the transform, and
// the page's font names made once each as they are first needed.
class DictBuilder {
 public:
  DictBuilder(const PageGlyphs& page, const Xf& xf, bool raw, bool extended)
      : page_(page), xf_(xf), keys_(module_state().keys), raw_(raw), extended_(extended),
        font_names_(page.fonts.size()) {}

  PyObject* block(const Block& block) {
    Ref dict = Ref::steal(PyDict_New());
    if (!dict) return nullptr;
    const bool ok =
        put(dict.get(), keys_.type, PyLong_FromLong(kTextBlockType)) &&
        put(dict.get(), keys_.number, PyLong_FromSize_t(block.number)) &&
        put(dict.get(), keys_.flags, PyLong_FromLong(kBlockFlags)) &&
        put(dict.get(), keys_.bbox, mapped_box(xf_, block.bbox)) &&
        put(dict.get(), keys_.lines,
            list_of(block.lines.size(), [&](std::size_t i) { return line(block.lines[i]); }));
    return ok ? dict.release() : nullptr;
  }

 private:
  PyObject* line(const Line& line) {
    const std::vector<Span> spans = make_spans(line, page_.fonts, LayoutParams{});
    Ref dict = Ref::steal(PyDict_New());
    if (!dict) return nullptr;
    double dx = line.dir_x, dy = line.dir_y;
    xf_.vector(dx, dy);
    const bool ok =
        put(dict.get(), keys_.spans,
            list_of(spans.size(), [&](std::size_t i) { return span(line, spans[i]); })) &&
        put(dict.get(), keys_.wmode, PyLong_FromUnsignedLong(line.wmode)) &&
        put(dict.get(), keys_.dir, pair_tuple(dx, dy)) &&
        put(dict.get(), keys_.bbox, mapped_box(xf_, line.bbox));
    return ok ? dict.release() : nullptr;
  }

  PyObject* span(const Line& line, const Span& span) {
    const FontInfo& font = page_.fonts[span.font];
    const Char& first = line.chars[span.char_start_idx];
    bool synthetic = false;
    for (std::size_t i = span.char_start_idx; i < span.char_end_idx; ++i) {
      synthetic = synthetic || line.chars[i].synthetic;
    }
    Ref dict = Ref::steal(PyDict_New());
    if (!dict) return nullptr;
    PyObject* d = dict.get();
    bool ok = put(d, keys_.size, PyFloat_FromDouble(span.size)) &&
              put(d, keys_.flags, PyLong_FromUnsignedLong(span.flags)) &&
              put(d, keys_.bidi, PyLong_FromLong(first.rtl ? 1 : 0)) &&
              put(d, keys_.char_flags, PyLong_FromLong(synthetic ? kCharFlagsSynthetic : kCharFlagsAllReal)) &&
              put(d, keys_.font, font_name(span.font)) &&
              put(d, keys_.color, PyLong_FromUnsignedLong(span.color)) &&
              put(d, keys_.alpha, PyLong_FromLong(kOpaqueAlpha)) &&
              put(d, keys_.ascender, PyFloat_FromDouble(font.ascent)) &&
              put(d, keys_.descender, PyFloat_FromDouble(font.descent));
    if (ok && extended_) {
      ok = put(d, keys_.weight, PyLong_FromLong(font.weight)) &&
           put(d, keys_.pdf_flags, PyLong_FromUnsignedLong(font.flags));
    }
    if (ok && raw_) {
      ok = put(d, keys_.chars,
               list_of(span.char_end_idx - span.char_start_idx, [&](std::size_t i) {
                 return char_dict(line.chars[span.char_start_idx + i]);
               }));
    } else if (ok) {
      text_.clear();
      for (std::size_t i = span.char_start_idx; i < span.char_end_idx; ++i) {
        append_utf8(text_, line.chars[i].ch);
      }
      ok = put(d, keys_.text, str_of(text_));
    }
    ok = ok && put(d, keys_.origin, mapped_point(xf_, first.origin_x, first.origin_y)) &&
         put(d, keys_.bbox, mapped_box(xf_, span.bbox));
    return ok ? dict.release() : nullptr;
  }

  PyObject* char_dict(const Char& ch) {
    Ref dict = Ref::steal(PyDict_New());
    if (!dict) return nullptr;
    PyObject* d = dict.get();
    bool ok = put(d, keys_.origin, mapped_point(xf_, ch.origin_x, ch.origin_y)) &&
              put(d, keys_.bbox, mapped_box(xf_, ch.bbox)) &&
              put(d, keys_.c, PyUnicode_FromOrdinal(static_cast<int>(ch.ch))) &&
              put(d, keys_.synthetic, PyBool_FromLong(ch.synthetic));
    if (ok && extended_) {
      ok = put(d, keys_.idx, PyLong_FromLong(static_cast<std::int32_t>(ch.idx)));
    }
    return ok ? dict.release() : nullptr;
  }

  // A new reference to the font's name.
  PyObject* font_name(std::uint32_t font) {
    Ref& name = font_names_[font];
    if (!name) name = Ref::steal(str_of(page_.fonts[font].name));
    return Ref::borrow(name.get()).release();
  }

  const PageGlyphs& page_;
  const Xf& xf_;
  const Keys& keys_;
  const bool raw_;
  const bool extended_;
  std::vector<Ref> font_names_;
  std::string text_;  // reused for every span's text
};

}  // namespace

PyObject* text_result(const std::vector<Block>& blocks, bool dehyphenate) {
  std::string text;
  for (const Block& block : blocks) text += block_text(block.lines, dehyphenate);
  return str_of(text);
}

PyObject* blocks_result(const std::vector<Block>& blocks, const Xf& xf, bool dehyphenate) {
  return list_of(blocks.size(), [&](std::size_t i) {
    const Block& block = blocks[i];
    const Rect box = xf.rc(block.bbox);
    return tuple_of({PyFloat_FromDouble(box.x0), PyFloat_FromDouble(box.y0),
                     PyFloat_FromDouble(box.x1), PyFloat_FromDouble(box.y1),
                     str_of(block_text(block.lines, dehyphenate)),
                     PyLong_FromSize_t(block.number), PyLong_FromLong(kTextBlockType)});
  });
}

PyObject* words_result(const std::vector<Word>& words) {
  const GcPause pause;
  return list_of(words.size(), [&](std::size_t i) {
    const Word& w = words[i];
    return tuple_of({PyFloat_FromDouble(w.x0), PyFloat_FromDouble(w.y0),
                     PyFloat_FromDouble(w.x1), PyFloat_FromDouble(w.y1), str_of(w.text),
                     PyLong_FromUnsignedLongLong(w.block_no),
                     PyLong_FromUnsignedLongLong(w.line_no),
                     PyLong_FromUnsignedLongLong(w.word_no)});
  });
}

PyObject* dict_result(const PageGlyphs& page, const std::vector<Block>& blocks, const Xf& xf,
                      bool raw, bool extended) {
  const bool swap = xf.swaps_axes();
  const GcPause pause;
  Ref dict = Ref::steal(PyDict_New());
  if (!dict) return nullptr;
  DictBuilder builder(page, xf, raw, extended);
  Ref width = Ref::steal(PyFloat_FromDouble(swap ? page.height : page.width));
  Ref height = Ref::steal(PyFloat_FromDouble(swap ? page.width : page.height));
  Ref list = Ref::steal(
      list_of(blocks.size(), [&](std::size_t i) { return builder.block(blocks[i]); }));
  if (!width || !height || !list || PyDict_SetItemString(dict.get(), "width", width.get()) < 0 ||
      PyDict_SetItemString(dict.get(), "height", height.get()) < 0 ||
      PyDict_SetItemString(dict.get(), "blocks", list.get()) < 0) {
    return nullptr;
  }
  return dict.release();
}

namespace {

// Little-endian whatever the machine, so readers can use '<f8' and '<i4'.
template <class T>
void store_le(unsigned char* out, T value) {
  auto bits = std::bit_cast<std::conditional_t<sizeof(T) == 8, std::uint64_t, std::uint32_t>>(value);
  for (std::size_t k = 0; k < sizeof(T); ++k) out[k] = static_cast<unsigned char>(bits >> (8 * k));
}

}  // namespace

PyObject* words_arrays_result(const std::vector<Word>& words) {
  const std::size_t n = words.size();
  Ref coords = Ref::steal(PyBytes_FromStringAndSize(nullptr, static_cast<Py_ssize_t>(32 * n)));
  Ref ids = Ref::steal(PyBytes_FromStringAndSize(nullptr, static_cast<Py_ssize_t>(12 * n)));
  if (!coords || !ids) return nullptr;
  auto* box_bytes = reinterpret_cast<unsigned char*>(PyBytes_AsString(coords.get()));
  auto* id_bytes = reinterpret_cast<unsigned char*>(PyBytes_AsString(ids.get()));
  if (box_bytes == nullptr || id_bytes == nullptr) return nullptr;
  for (std::size_t i = 0; i < n; ++i) {
    const Word& w = words[i];
    const double box[4] = {w.x0, w.y0, w.x1, w.y1};
    for (int k = 0; k < 4; ++k) store_le(box_bytes + 32 * i + 8 * static_cast<std::size_t>(k), box[k]);
    const std::uint64_t numbers[3] = {w.block_no, w.line_no, w.word_no};
    for (int k = 0; k < 3; ++k) {
      store_le(id_bytes + 12 * i + 4 * static_cast<std::size_t>(k),
               static_cast<std::int32_t>(static_cast<std::uint32_t>(numbers[k])));
    }
  }
  Ref texts = Ref::steal(list_of(n, [&](std::size_t i) { return str_of(words[i].text); }));
  if (!texts) return nullptr;
  return tuple_of({coords.release(), ids.release(), texts.release()});
}

}  // namespace textloom::py
