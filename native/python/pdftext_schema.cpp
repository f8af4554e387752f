// Building the pdftext block schema. Spans from make_spans are split where
// layout-inserted spaces begin or end; every char gets a page-text index
// (made up for inserted spaces and line breaks); font dictionaries are shared
// per (font, size bits) within one call. Objects that many dictionaries share
// (a line's rotation, a span's base, the fonts) are made once and referenced.

#include "pdftext_schema.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <initializer_list>
#include <limits>
#include <string>
#include <unordered_map>

#include "gc_pause.hpp"
#include "module_state.hpp"
#include "num.hpp"
#include "output.hpp"
#include "utf8.hpp"

namespace textloom::py {

namespace {

constexpr double kTwoPi = 6.283185307179586;

// dict[key] = value; steals value. False with an exception set on failure.
bool put(PyObject* dict, PyObject* key, PyObject* value) {
  if (value == nullptr) return false;
  const int status = PyDict_SetItem(dict, key, value);
  Py_DECREF(value);
  return status == 0;
}

// dict[key] = value for a value shared with other dictionaries (borrowed).
bool put_shared(PyObject* dict, PyObject* key, PyObject* value) {
  return value != nullptr && PyDict_SetItem(dict, key, value) == 0;
}

// A dict holding `keys` (in order) with None values: copies of it get every
// key in place at once, so filling them replaces values and never grows a table.
PyObject* dict_template(std::initializer_list<PyObject*> keys) {
  Ref dict = Ref::steal(PyDict_New());
  if (!dict) return nullptr;
  for (PyObject* key : keys) {
    if (PyDict_SetItem(dict.get(), key, Py_None) < 0) return nullptr;
  }
  return dict.release();
}

PyObject* box_list(const Rect& r) {
  Ref list = Ref::steal(PyList_New(4));
  if (!list) return nullptr;
  const double values[4] = {r.x0, r.y0, r.x1, r.y1};
  for (Py_ssize_t i = 0; i < 4; ++i) {
    PyObject* item = PyFloat_FromDouble(values[i]);
    if (item == nullptr) return nullptr;
    PyList_SetItem(list.get(), i, item);  // steals item
  }
  return list.release();
}

// A line's rotation in radians, in [0, 2π), from its direction in the view.
double rotation_of(double dx, double dy) {
  if (dx == 1.0 && dy == 0.0) return 0.0;
  const double r = std::fmod(std::atan2(-dy, dx), kTwoPi);
  return r < 0 ? r + kTwoPi : r;
}

struct FontKey {
  std::uint32_t font;
  std::uint64_t size_bits;  // 0.0 and -0.0 are different sizes here
  bool operator==(const FontKey&) const = default;
};
struct FontKeyHash {
  std::size_t operator()(const FontKey& k) const {
    return static_cast<std::size_t>((k.size_bits ^ ((std::uint64_t{k.font} << 32) | k.font)) *
                                    0x9E3779B97F4A7C15ull);
  }
};

// What every dictionary of one span shares.
struct SpanShared {
  PyObject* rotation;  // the line's
  PyObject* base;      // "_base"
  PyObject* sup;       // "_sup"
  PyObject* vertical;  // "_vertical"
};

class PdftextBuilder {
 public:
  PdftextBuilder(const PageGlyphs& page, bool keep_chars)
      : page_(page), xf_{page.width, page.height, page.rotation, true},
        keys_(module_state().keys), keep_chars_(keep_chars) {}

  PyObject* build(const std::vector<Block>& blocks) {
    empty_font_ = Ref::steal(font_dict_of("", 0, 1.0, -1));
    url_ = Ref::steal(PyUnicode_FromStringAndSize("", 0));
    newline_ = Ref::steal(PyUnicode_FromOrdinal('\n'));
    return_ = Ref::steal(PyUnicode_FromOrdinal('\r'));
    const Keys& k = keys_;
    span_template_ = Ref::steal(
        keep_chars_ ? dict_template({k.bbox, k.text, k.font, k.rotation, k.char_start_idx,
                                     k.char_end_idx, k.url, k.superscript, k.subscript, k.chars,
                                     k._base, k._sup, k._vertical})
                    : dict_template({k.bbox, k.text, k.font, k.rotation, k.char_start_idx,
                                     k.char_end_idx, k.url, k.superscript, k.subscript, k._base,
                                     k._sup, k._vertical}));
    char_template_ =
        Ref::steal(dict_template({k.bbox, k.char_key, k.rotation, k.font, k.char_idx}));
    if (!empty_font_ || !url_ || !newline_ || !return_ || !span_template_ || !char_template_) {
      return nullptr;
    }
    std::size_t n_lines = 0;
    for (const Block& b : blocks) n_lines += b.lines.size();
    Ref list = Ref::steal(PyList_New(static_cast<Py_ssize_t>(blocks.size())));
    if (!list) return nullptr;
    std::size_t line_number = 0;
    for (std::size_t i = 0; i < blocks.size(); ++i) {
      const std::vector<Line>& lines = blocks[i].lines;
      Ref line_dicts = Ref::steal(PyList_New(static_cast<Py_ssize_t>(lines.size())));
      if (!line_dicts) return nullptr;
      Rect block_box = kEmptyRect;
      for (std::size_t k = 0; k < lines.size(); ++k) {
        ++line_number;
        Rect line_box = kEmptyRect;
        PyObject* dict = line(lines[k], line_number == n_lines, line_box);
        if (dict == nullptr) return nullptr;
        PyList_SetItem(line_dicts.get(), static_cast<Py_ssize_t>(k), dict);  // steals dict
        block_box = rect_union(block_box, line_box);
      }
      Ref dict = Ref::steal(PyDict_New());
      if (!dict || !put(dict.get(), keys_.bbox, box_list(block_box)) ||
          !put(dict.get(), keys_.lines, line_dicts.release())) {
        return nullptr;
      }
      PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), dict.release());
    }
    return list.release();
  }

 private:
  PyObject* font_dict_of(std::string_view name, std::uint32_t flags, double size,
                         std::int32_t weight) {
    Ref dict = Ref::steal(PyDict_New());
    const bool ok =
        dict &&
        put(dict.get(), keys_.name,
            PyUnicode_FromStringAndSize(name.data(), static_cast<Py_ssize_t>(name.size()))) &&
        put(dict.get(), keys_.flags, PyLong_FromUnsignedLong(flags)) &&
        put(dict.get(), keys_.size, PyFloat_FromDouble(size)) &&
        put(dict.get(), keys_.weight, PyLong_FromLong(weight));
    return ok ? dict.release() : nullptr;
  }

  // The cached font dictionary of a span (borrowed), or null.
  PyObject* font_dict(const Span& span) {
    const FontKey key{span.font, std::bit_cast<std::uint64_t>(span.size)};
    auto found = fonts_.find(key);
    if (found != fonts_.end()) return found->second.get();
    const FontInfo& font = page_.fonts[span.font];
    Ref dict = Ref::steal(font_dict_of(font.name, font.flags, span.size, font.weight));
    if (!dict) return nullptr;
    return fonts_.emplace(key, std::move(dict)).first->second.get();
  }

  PyObject* char_dict(const Rect& box, PyObject* text, PyObject* rotation, PyObject* font,
                      std::int64_t index) {
    Ref dict = Ref::steal(PyDict_Copy(char_template_.get()));
    const bool ok = dict && put(dict.get(), keys_.bbox, box_list(box)) &&
                    put(dict.get(), keys_.char_key, text) &&
                    put_shared(dict.get(), keys_.rotation, rotation) &&
                    put_shared(dict.get(), keys_.font, font) &&
                    put(dict.get(), keys_.char_idx, PyLong_FromLongLong(index));
    return ok ? dict.release() : nullptr;
  }

  // One span dictionary; steals `box`, `text` and `chars` (null: no chars key).
  PyObject* span_dict(PyObject* box, PyObject* text, PyObject* font, std::int64_t start,
                      std::int64_t end, PyObject* chars, const SpanShared& shared) {
    Ref owned_box = Ref::steal(box), owned_text = Ref::steal(text), owned_chars = Ref::steal(chars);
    if (!owned_box || !owned_text || (keep_chars_ && !owned_chars)) return nullptr;
    Ref dict = Ref::steal(PyDict_Copy(span_template_.get()));
    if (!dict) return nullptr;
    PyObject* d = dict.get();
    bool ok = put_shared(d, keys_.bbox, owned_box.get()) &&
              put_shared(d, keys_.text, owned_text.get()) && put_shared(d, keys_.font, font) &&
              put_shared(d, keys_.rotation, shared.rotation) &&
              put(d, keys_.char_start_idx, PyLong_FromLongLong(start)) &&
              put(d, keys_.char_end_idx, PyLong_FromLongLong(end)) &&
              put_shared(d, keys_.url, url_.get()) &&
              put_shared(d, keys_.superscript, Py_False) &&
              put_shared(d, keys_.subscript, Py_False);
    if (ok && keep_chars_) ok = put_shared(d, keys_.chars, owned_chars.get());
    ok = ok && put_shared(d, keys_._base, shared.base) && put_shared(d, keys_._sup, shared.sup) &&
         put_shared(d, keys_._vertical, shared.vertical);
    return ok ? dict.release() : nullptr;
  }

  // The line's dictionary; `line_box` receives its box. `page_last`: no line break.
  PyObject* line(const Line& line, bool page_last, Rect& line_box) {
    double dx = line.dir_x, dy = line.dir_y;
    xf_.vector(dx, dy);
    const bool vertical = std::fabs(dy) > std::fabs(dx);
    Ref rotation = Ref::steal(PyFloat_FromDouble(rotation_of(dx, dy)));
    if (!rotation) return nullptr;
    const std::vector<Char>& chars = line.chars;
    const std::vector<Span> spans = make_spans(line, page_.fonts, LayoutParams{});

    std::size_t n_dicts = page_last ? 0 : 1;
    for (const Span& s : spans) {
      for (std::size_t i = s.char_start_idx; i < s.char_end_idx; ++i) {
        n_dicts += i == s.char_start_idx || chars[i].synthetic != chars[i - 1].synthetic;
      }
    }
    Ref list = Ref::steal(PyList_New(static_cast<Py_ssize_t>(n_dicts)));
    if (!list) return nullptr;
    Py_ssize_t slot = 0;

    std::int64_t last = -1;       // highest page-text index used on the line so far
    Rect last_box = kEmptyRect;   // mapped box of the last char processed
    double last_base = 0;
    for (const Span& span : spans) {
      PyObject* font = font_dict(span);
      if (font == nullptr) return nullptr;
      const Char& first = chars[span.char_start_idx];
      double ox = first.origin_x, oy = first.origin_y;
      xf_.point(ox, oy);
      last_base = vertical ? ox : oy;
      Ref base = Ref::steal(PyFloat_FromDouble(last_base));
      if (!base) return nullptr;
      const SpanShared shared{rotation.get(), base.get(),
                              (span.flags & kStyleSuperscript) != 0 ? Py_True : Py_False,
                              vertical ? Py_True : Py_False};
      // The next char of the span with a real index, found once per stretch
      // of inserted spaces.
      std::size_t next_real = span.char_start_idx;
      for (std::size_t i = span.char_start_idx; i < span.char_end_idx;) {
        const bool synthetic = chars[i].synthetic;
        std::size_t end = i + 1;
        while (end < span.char_end_idx && chars[end].synthetic == synthetic) ++end;
        PyObject* run_font = synthetic ? empty_font_.get() : font;
        Ref char_dicts;
        if (keep_chars_) {
          char_dicts = Ref::steal(PyList_New(static_cast<Py_ssize_t>(end - i)));
          if (!char_dicts) return nullptr;
        }
        text_.clear();
        text_.reserve(end - i);
        Rect box = kEmptyRect;
        std::int64_t lowest = std::numeric_limits<std::int64_t>::max();
        std::int64_t highest = std::numeric_limits<std::int64_t>::min();
        for (std::size_t k = i; k < end; ++k) {
          const Char& c = chars[k];
          std::int64_t index = static_cast<std::int32_t>(c.idx);
          if (index < 0) {
            if (next_real <= k) {
              next_real = k + 1;
              while (next_real < span.char_end_idx &&
                     static_cast<std::int32_t>(chars[next_real].idx) < 0) {
                ++next_real;
              }
            }
            if (next_real < span.char_end_idx) {
              const std::int64_t next = static_cast<std::int32_t>(chars[next_real].idx);
              index = last + 1 < next ? last + 1 : std::max<std::int64_t>(last, 0);
            } else {
              index = last + 1;
            }
          }
          last = std::max(last, index);
          // A right-to-left line in logical order runs from high indices to
          // low ones: the run's range is its lowest to its highest index.
          lowest = std::min(lowest, index);
          highest = std::max(highest, index);
          last_box = xf_.rc(c.bbox);
          box = rect_union(box, last_box);
          append_utf8(text_, c.ch);
          if (keep_chars_) {
            PyObject* dict = char_dict(last_box, PyUnicode_FromOrdinal(static_cast<int>(c.ch)),
                                       rotation.get(), run_font, index);
            if (dict == nullptr) return nullptr;
            PyList_SetItem(char_dicts.get(), static_cast<Py_ssize_t>(k - i), dict);
          }
        }
        PyObject* dict = span_dict(
            box_list(box),
            PyUnicode_FromStringAndSize(text_.data(), static_cast<Py_ssize_t>(text_.size())),
            run_font, lowest, highest, char_dicts.release(), shared);
        if (dict == nullptr) return nullptr;
        PyList_SetItem(list.get(), slot++, dict);
        line_box = rect_union(line_box, box);
        i = end;
      }
    }

    if (!page_last) {
      const double px = vertical ? (last_box.x0 + last_box.x1) / 2 : last_box.x1;
      const double py = vertical ? last_box.y1 : last_base;
      const Rect point{px, py, px, py};
      Ref base = Ref::steal(PyFloat_FromDouble(py));
      if (!base) return nullptr;
      Ref char_dicts;
      if (keep_chars_) {
        char_dicts = Ref::steal(PyList_New(2));
        if (!char_dicts) return nullptr;
        for (Py_ssize_t k = 0; k < 2; ++k) {
          PyObject* text = k == 0 ? return_.get() : newline_.get();
          PyObject* dict = char_dict(point, Ref::borrow(text).release(), rotation.get(),
                                     empty_font_.get(), last + 1 + k);
          if (dict == nullptr) return nullptr;
          PyList_SetItem(char_dicts.get(), k, dict);
        }
      }
      const SpanShared shared{rotation.get(), base.get(), Py_False,
                              vertical ? Py_True : Py_False};
      PyObject* dict = span_dict(box_list(point), Ref::borrow(newline_.get()).release(),
                                 empty_font_.get(), last + 1, last + 2, char_dicts.release(),
                                 shared);
      if (dict == nullptr) return nullptr;
      PyList_SetItem(list.get(), slot++, dict);
      line_box = rect_union(line_box, point);
    }

    Ref dict = Ref::steal(PyDict_New());
    if (!dict || !put(dict.get(), keys_.bbox, box_list(line_box)) ||
        !put(dict.get(), keys_.spans, list.release())) {
      return nullptr;
    }
    return dict.release();
  }

  const PageGlyphs& page_;
  const Xf xf_;  // the page's rotation, always applied
  const Keys& keys_;
  const bool keep_chars_;
  Ref empty_font_;
  Ref url_;
  Ref newline_;
  Ref return_;
  Ref span_template_;
  Ref char_template_;
  std::unordered_map<FontKey, Ref, FontKeyHash> fonts_;
  std::string text_;  // reused for every run's text
};

}  // namespace

PyObject* pdftext_result(const PageGlyphs& page, const std::vector<Block>& blocks,
                         bool keep_chars) {
  const GcPause pause;
  return PdftextBuilder(page, keep_chars).build(blocks);
}

}  // namespace textloom::py
