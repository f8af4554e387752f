// render_page: converts the arguments, runs the core's render_page and turns
// its buffer into bytes (one copy) or its error into an exception.

#include "render.hpp"

#include <cstdint>
#include <optional>
#include <string>

#include "args.hpp"
#include "errors.hpp"
#include "grey.hpp"
#include "module_functions.hpp"
#include "module_state.hpp"

namespace textloom::py {

namespace {

struct RenderArgs {
  std::uint64_t doc_addr = 0;
  std::int32_t index = 0;
  double scale_x = 0;
  double scale_y = 0;
  std::optional<Rect> clip;
  bool rotated = true;
  bool alpha = false;
  bool grayscale = false;
  bool annots = true;
  bool antialias = true;
  std::uint32_t background = 0xFFFFFFFF;
  std::optional<double> timeout;
};
const Signature<RenderArgs, 12> kRenderSignature{
    "render_page",
    {{{"doc_addr", &RenderArgs::doc_addr},
      {"index", &RenderArgs::index},
      {"scale_x", &RenderArgs::scale_x},
      {"scale_y", &RenderArgs::scale_y},
      {"clip", &RenderArgs::clip, "None"},
      {"rotated", &RenderArgs::rotated, "True"},
      {"alpha", &RenderArgs::alpha, "False"},
      {"grayscale", &RenderArgs::grayscale, "False"},
      {"annots", &RenderArgs::annots, "True"},
      {"antialias", &RenderArgs::antialias, "True"},
      {"background", &RenderArgs::background, "4294967295"},
      {"timeout", &RenderArgs::timeout, "None"}}}};

PyObject* exception_of(RenderError::Kind kind) {
  switch (kind) {
    case RenderError::Kind::out_of_memory:
      return PyExc_MemoryError;
    case RenderError::Kind::overflow:
      return PyExc_OverflowError;
    case RenderError::Kind::timed_out:
      return module_state().render_timeout;
    case RenderError::Kind::failed:
      break;
  }
  return PyExc_RuntimeError;
}

struct PlanArgs {
  std::uint64_t doc_addr = 0;
  std::int32_t index = 0;
  double scale_x = 0;
  double scale_y = 0;
  std::optional<Rect> clip;
  bool rotated = true;
};
struct GreyArgs {
  PyObject* pixels = nullptr;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint32_t stride = 0;
  std::uint32_t channels = 0;
};
const Signature<GreyArgs, 5> kGreySignature{
    "grey_pixels",
    {{{"pixels", &GreyArgs::pixels},
      {"width", &GreyArgs::width},
      {"height", &GreyArgs::height},
      {"stride", &GreyArgs::stride},
      {"channels", &GreyArgs::channels}}}};

const Signature<PlanArgs, 6> kPlanSignature{
    "render_plan",
    {{{"doc_addr", &PlanArgs::doc_addr},
      {"index", &PlanArgs::index},
      {"scale_x", &PlanArgs::scale_x},
      {"scale_y", &PlanArgs::scale_y},
      {"clip", &PlanArgs::clip, "None"},
      {"rotated", &PlanArgs::rotated, "True"}}}};

}  // namespace

PyObject* render_plan(PyObject*, PyObject* args, PyObject* kwargs) {
  PlanArgs a;
  if (!parse_args(kPlanSignature, args, kwargs, a)) return nullptr;
  const Pdfium* pdf = initialised_pdfium();
  if (pdf == nullptr) return nullptr;
  RenderRequest request;
  request.scale_x = a.scale_x, request.scale_y = a.scale_y, request.clip = a.clip;
  request.rotated = a.rotated;
  auto outcome = plan_page(*pdf, document_at(a.doc_addr), a.index, request);
  if (auto* error = std::get_if<RenderError>(&outcome)) {
    return raise(exception_of(error->kind), error->text);
  }
  const RenderPlan& plan = std::get<RenderPlan>(outcome);
  return Py_BuildValue("(iiiiiii)", plan.width, plan.height, plan.start_x, plan.start_y, plan.page_w,
                       plan.page_h, plan.rotate);
}

const char* render_plan_doc() {
  static const std::string doc = docstring(
      kPlanSignature,
      "The pixel grid render_page would draw page `index` on, with the same arguments:\n"
      "(width, height, start_x, start_y, page_width, page_height, rotate): the image size,\n"
      "where the whole page's top-left corner lies on it, the whole page's size in pixels\n"
      "and PDFium's quarter turns.");
  return doc.c_str();
}

PyObject* render_page(PyObject*, PyObject* args, PyObject* kwargs) {
  RenderArgs a;
  if (!parse_args(kRenderSignature, args, kwargs, a)) return nullptr;
  const Pdfium* pdf = initialised_pdfium();
  if (pdf == nullptr) return nullptr;
  RenderRequest request{a.scale_x, a.scale_y, a.clip,      a.rotated,    a.alpha,
                        a.grayscale, a.annots, a.antialias, a.background, std::nullopt};
  if (a.timeout) {
    auto duration = duration_from_seconds(*a.timeout);
    if (auto* error = std::get_if<std::string>(&duration)) {
      return raise(PyExc_ValueError, *error);
    }
    request.timeout = std::get<Duration>(duration);
  }
  auto outcome = textloom::render_page(*pdf, document_at(a.doc_addr), a.index, request);
  if (auto* error = std::get_if<RenderError>(&outcome)) {
    return raise(exception_of(error->kind), error->text);
  }
  RenderedPage image = std::get<RenderedPage>(std::move(outcome));
  Ref pixels = Ref::steal(PyBytes_FromStringAndSize(
      reinterpret_cast<const char*>(image.pixels.get()), static_cast<Py_ssize_t>(image.size)));
  if (!pixels) return nullptr;
  image.pixels.reset();  // the bytes hold the only copy now
  return Py_BuildValue("(iiiN)", image.width, image.height, image.channels, pixels.release());
}

const char* render_page_doc() {
  static const std::string doc = docstring(
      kRenderSignature,
      "Render page `index` of a PDFium FPDF_DOCUMENT handle (address) at scale_x, scale_y pixels\n"
      "per point, or only the clip (x0, y0, x1, y1) in points of the rendered view. Returns\n"
      "(width, height, channels, pixels): rows top to bottom without padding, grey, RGB or RGBA.\n"
      "With a timeout in seconds, renders progressively and gives up after it (RenderTimeout).");
  return doc.c_str();
}

PyObject* grey_pixels(PyObject*, PyObject* args, PyObject* kwargs) {
  GreyArgs a;
  if (!parse_args(kGreySignature, args, kwargs, a)) return nullptr;
  if (!PyBytes_Check(a.pixels)) return raise(PyExc_TypeError, "argument 'pixels': must be bytes");
  char* data = nullptr;
  Py_ssize_t size = 0;
  if (PyBytes_AsStringAndSize(a.pixels, &data, &size) != 0) return nullptr;
  if (a.channels != 1 && a.channels != 3 && a.channels != 4) {
    return raise(PyExc_ValueError, "channels must be 1, 3 or 4");
  }
  const std::uint64_t row = std::uint64_t{a.width} * a.channels;
  if (a.stride < row) return raise(PyExc_ValueError, "stride is shorter than a row of pixels");
  if (a.height > 0 && static_cast<std::uint64_t>(size) < std::uint64_t{a.stride} * (a.height - 1) + row) {
    return raise(PyExc_ValueError, "pixels are fewer than width, height and stride say");
  }
  Ref grey = Ref::steal(PyBytes_FromStringAndSize(
      nullptr, static_cast<Py_ssize_t>(std::uint64_t{a.width} * a.height)));
  if (!grey) return nullptr;
  grey_of_bgr(reinterpret_cast<const std::uint8_t*>(data), a.width, a.height, a.stride, a.channels,
              reinterpret_cast<std::uint8_t*>(PyBytes_AsString(grey.get())));
  return grey.release();
}

const char* grey_pixels_doc() {
  static const std::string doc = docstring(
      kGreySignature,
      "A PDFium bitmap's pixels (grey, or blue, green, red and for 4 channels an unused byte;\n"
      "rows `stride` bytes apart) as grey rows without padding: colour by ITU-R 601-2 luma,\n"
      "as Pillow's \"L\" conversion gives it.");
  return doc.c_str();
}

}  // namespace textloom::py
