// TextMap: the text (built when first asked), the fragments of a range, and
// the text folded for search (kept per fold table) with the queries found in it.

#include "page_text_map.hpp"

#include <new>
#include <string>
#include <vector>

#include "args.hpp"
#include "convert.hpp"
#include "errors.hpp"
#include "fold_table.hpp"
#include "module_state.hpp"
#include "pattern.hpp"
#include "search_find.hpp"
#include "search_fold.hpp"
#include "utf8.hpp"

namespace textloom::py {

namespace {

// The text folded with one table. The table is held so the entry is never
// mistaken for another table's: its folds are Python's own, fixed per
// character, so what was folded with it stays right.
struct Folding {
  Ref folds;
  bool case_sensitive;
  FoldedText folded;
};

// The tables a search can use: case and accents, each on or off.
constexpr std::size_t kMaxFoldings = 4;

struct MapObject {
  PyObject_HEAD
  TextMap map;
  PyObject* text;                 // the page text as str, made when first asked
  std::vector<Folding> foldings;  // the newest last
};

MapObject* as_map(PyObject* self) { return reinterpret_cast<MapObject*>(self); }

PyObject* map_new(PyTypeObject*, PyObject*, PyObject*) {
  PyErr_SetString(PyExc_TypeError, "No constructor defined for TextMap");
  return nullptr;
}

int map_traverse(PyObject* self, visitproc visit, void* arg) {
  for (const Folding& f : as_map(self)->foldings) Py_VISIT(f.folds.get());
  Py_VISIT(Py_TYPE(self));
  return 0;
}

int map_clear(PyObject* self) {
  as_map(self)->foldings.clear();
  return 0;
}

void map_dealloc(PyObject* self) {
  PyTypeObject* type = Py_TYPE(self);
  PyObject_GC_UnTrack(self);
  MapObject* m = as_map(self);
  Py_XDECREF(m->text);
  m->foldings.~vector();
  m->map.~TextMap();
  auto free_slot = reinterpret_cast<freefunc>(PyType_GetSlot(type, Py_tp_free));
  free_slot(self);
  Py_DECREF(type);
}

PyObject* get_text(PyObject* self, void*) {
  MapObject* m = as_map(self);
  if (m->text == nullptr) {
    m->text = str_of_code_points(m->map.code_points());
    if (m->text == nullptr) return nullptr;
  }
  Py_INCREF(m->text);
  return m->text;
}

// The fragments as a list of ((x0, y0, x1, y1), block, line), each an
// instance of `type` (see new_tuple).
PyObject* fragments_list(const std::vector<MapFragment>& fragments,
                         PyTypeObject* type = nullptr) {
  Ref list = Ref::steal(PyList_New(static_cast<Py_ssize_t>(fragments.size())));
  if (!list) return nullptr;
  for (std::size_t i = 0; i < fragments.size(); ++i) {
    const MapFragment& f = fragments[i];
    PyObject* item = tuple_of({bbox_tuple(f.bbox.x0, f.bbox.y0, f.bbox.x1, f.bbox.y1),
                               PyLong_FromSize_t(f.block), PyLong_FromSize_t(f.line)},
                              type);
    if (item == nullptr) return nullptr;
    PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), item);
  }
  return list.release();
}

struct RangeArgs {
  std::uint64_t start = 0;
  std::uint64_t end = 0;
};
const Signature<RangeArgs, 2> kFragmentsSignature{
    "TextMap.fragments", {{{"start", &RangeArgs::start}, {"end", &RangeArgs::end}}}};

PyObject* fragments(PyObject* self, PyObject* args, PyObject* kwargs) {
  RangeArgs a;
  if (!parse_args(kFragmentsSignature, args, kwargs, a)) return nullptr;
  return fragments_list(as_map(self)->map.fragments(a.start, a.end));
}

// The map's text folded with `folds`, kept; null when the table lacks
// characters (they are in `missing`).
const FoldedText* folded_with(MapObject* m, PyObject* folds, bool case_sensitive,
                              std::vector<std::uint32_t>& missing) {
  for (const Folding& f : m->foldings) {
    if (f.folds.get() == folds && f.case_sensitive == case_sensitive) return &f.folded;
  }
  const FoldMap& table = fold_map(folds);
  FoldedText folded = fold_for_search(m->map.code_points(), case_sensitive,
                                      [&](std::uint32_t cp) { return table.find(cp); });
  if (!folded.missing.empty()) {
    missing = std::move(folded.missing);
    return nullptr;
  }
  if (m->foldings.size() == kMaxFoldings) m->foldings.erase(m->foldings.begin());
  m->foldings.push_back({Ref::borrow(folds), case_sensitive, std::move(folded)});
  return &m->foldings.back().folded;
}

struct FoldArgs {
  bool case_sensitive = false;
  PyObject* folds = nullptr;
};
const Signature<FoldArgs, 2> kFoldSignature{
    "TextMap.fold",
    {{{"case", &FoldArgs::case_sensitive}, {"folds", &FoldArgs::folds}}}};

PyObject* fold(PyObject* self, PyObject* args, PyObject* kwargs) {
  FoldArgs a;
  if (!parse_args(kFoldSignature, args, kwargs, a) || !is_fold_table(a.folds)) return nullptr;
  std::vector<std::uint32_t> missing;
  const FoldedText* folded = folded_with(as_map(self), a.folds, a.case_sensitive, missing);
  if (folded == nullptr) return missing_chars(missing);
  return folded_result(*folded);
}

struct FindArgs {
  std::string query;
  PyObject* folds = nullptr;
  bool regex = false;
  bool case_sensitive = false;
  bool words = false;
  PyObject* match = Py_None;
  PyObject* fragment = Py_None;
};
const Signature<FindArgs, 7> kFindSignature{
    "TextMap.find",
    {{{"query", &FindArgs::query},
      {"folds", &FindArgs::folds},
      {"regex", &FindArgs::regex, "False"},
      {"case", &FindArgs::case_sensitive, "False"},
      {"words", &FindArgs::words, "False"},
      {"match", &FindArgs::match, "None"},
      {"fragment", &FindArgs::fragment, "None"}}}};

// The type of argument `name`: null for None, else a subclass of tuple;
// false with TypeError "argument 'NAME': must be a tuple subclass or None".
bool tuple_type_of(const char* name, PyObject* value, PyTypeObject*& type) {
  type = nullptr;
  if (value == Py_None) return true;
  if (PyType_Check(value) &&
      PyType_IsSubtype(reinterpret_cast<PyTypeObject*>(value), &PyTuple_Type)) {
    type = reinterpret_cast<PyTypeObject*>(value);
    return true;
  }
  raise(PyExc_TypeError, std::string("argument '") + name + "': must be a tuple subclass or None");
  return false;
}

// Python's str.isalnum of one character beyond ASCII; after a failure,
// `failed` with the error set.
bool is_alnum(std::uint32_t cp, bool& failed) {
  if (failed) return false;
  Ref ch = Ref::steal(PyUnicode_FromOrdinal(static_cast<int>(cp)));
  Ref answer = ch ? Ref::steal(PyObject_CallMethod(ch.get(), "isalnum", nullptr)) : Ref();
  failed = !answer;
  return answer && answer.get() == Py_True;
}

PyObject* find(PyObject* self, PyObject* args, PyObject* kwargs) {
  FindArgs a;
  PyTypeObject* match = nullptr;
  PyTypeObject* fragment = nullptr;
  if (!parse_args(kFindSignature, args, kwargs, a) || !is_fold_table(a.folds) ||
      !tuple_type_of("match", a.match, match) || !tuple_type_of("fragment", a.fragment, fragment)) {
    return nullptr;
  }
  MapObject* m = as_map(self);
  std::vector<std::uint32_t> missing;
  const FoldedText* folded = folded_with(m, a.folds, a.case_sensitive, missing);
  if (folded == nullptr) return missing_chars(missing);
  const std::u32string& haystack = folded->text;
  std::vector<TextSpan> spans;
  if (a.regex) {
    auto found = find_pattern(a.query, utf8_of(haystack), !a.case_sensitive);
    if (!found) return raise(PyExc_ValueError, found.error());
    spans = std::move(found.value());
  } else {
    spans = find_all(haystack, code_points(a.query));
  }
  if (a.words) {
    bool failed = false;
    keep_whole_words(spans, haystack, [&](std::uint32_t cp) { return is_alnum(cp, failed); });
    if (failed) return nullptr;
  }
  Ref list = Ref::steal(PyList_New(static_cast<Py_ssize_t>(spans.size())));
  if (!list) return nullptr;
  for (std::size_t i = 0; i < spans.size(); ++i) {
    const auto first = static_cast<std::size_t>(folded->origin[spans[i].first]);
    const auto last = static_cast<std::size_t>(folded->origin[spans[i].second - 1]) + 1;
    const std::u32string_view text =
        std::u32string_view(m->map.code_points()).substr(first, last - first);
    PyObject* item = tuple_of({str_of_code_points(text), PyLong_FromSize_t(first),
                               PyLong_FromSize_t(last),
                               fragments_list(m->map.fragments(first, last), fragment)},
                              match);
    if (item == nullptr) return nullptr;
    PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), item);
  }
  return list.release();
}

PyGetSetDef map_getset[] = {
    {"text", get_text, nullptr, "The page text of get_text(\"text\") with the same sort.", nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyMethodDef* map_methods() {
  static const std::string fragments_doc = docstring(
      kFragmentsSignature,
      "The boxes of the text's code points from `start` to `end`, one per line they stand\n"
      "on (line feeds have none): a list of ((x0, y0, x1, y1), block, line).");
  static const std::string fold_doc = docstring(
      kFoldSignature,
      "The text folded for search as fold_text folds it, kept for the next call with the\n"
      "same table: (folded, origin), or a str of the characters `folds` lacks.");
  static const std::string find_doc = docstring(
      kFindSignature,
      "Where `query` stands in the text folded with `folds` (as fold does): a folded plain\n"
      "query, or with `regex` a PCRE2 pattern (caseless unless `case`); left to right and\n"
      "apart, with `words` only whole words (a word character, ASCII letters, digits and\n"
      "\"_\" or what str.isalnum says, on both sides of neither end). A list of (text, start,\n"
      "end, fragments), the range in the page text, each fragment ((x0, y0, x1, y1), block,\n"
      "line); made as instances of `match` and `fragment` where given (tuple subclasses such\n"
      "as named tuples, their __new__ not run); or a str of the characters `folds` lacks.\n"
      "ValueError for a bad pattern, or one past PCRE2's match limit.");
  static PyMethodDef methods[] = {
      {"fragments", as_cfunction<fragments>(), METH_VARARGS | METH_KEYWORDS,
       fragments_doc.c_str()},
      {"fold", as_cfunction<fold>(), METH_VARARGS | METH_KEYWORDS, fold_doc.c_str()},
      {"find", as_cfunction<find>(), METH_VARARGS | METH_KEYWORDS, find_doc.c_str()},
      {nullptr, nullptr, 0, nullptr},
  };
  return methods;
}

}  // namespace

PyTypeObject* make_text_map_type() {
  static PyType_Slot slots[] = {
      {Py_tp_doc, const_cast<char*>("A page's laid-out text, kept for search and provenance.")},
      {Py_tp_new, reinterpret_cast<void*>(map_new)},
      {Py_tp_dealloc, reinterpret_cast<void*>(map_dealloc)},
      {Py_tp_traverse, reinterpret_cast<void*>(map_traverse)},
      {Py_tp_clear, reinterpret_cast<void*>(map_clear)},
      {Py_tp_getset, map_getset},
      {Py_tp_methods, map_methods()},
      {0, nullptr},
  };
  static PyType_Spec type_spec = {
      "textloom._native.TextMap",
      static_cast<int>(sizeof(MapObject)),
      0,
      Py_TPFLAGS_DEFAULT | Py_TPFLAGS_HAVE_GC,
      slots,
  };
  return reinterpret_cast<PyTypeObject*>(PyType_FromSpec(&type_spec));
}

PyObject* new_text_map(TextMap&& map) {
  PyTypeObject* type = module_state().text_map_type;
  auto alloc = reinterpret_cast<allocfunc>(PyType_GetSlot(type, Py_tp_alloc));
  PyObject* self = alloc(type, 0);
  if (self == nullptr) return nullptr;
  MapObject* m = as_map(self);
  new (&m->map) TextMap(std::move(map));
  m->text = nullptr;
  new (&m->foldings) std::vector<Folding>();
  return self;  // tracked by the garbage collector from its allocation on
}

}  // namespace textloom::py
