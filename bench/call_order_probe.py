"""Whether a page reads the same however it is reached: every corpus page's
results from a fresh Document against the same calls made after seeded
random sequences of every other public call.

First, before anything renders in this process, each page of each document
is read by a fresh Document: every text schema (with a few option sets),
words_array, pdftext_blocks, Markdown, links, annotations, form fields and
the page's geometry; then each page is rendered, also from a fresh Document.
These digests are the baseline. Then, for each document, --sequences seeded
sequences: one Document (sometimes one that served the previous sequence,
sometimes closed and reopened on the way) goes through every page in a random
order; before each page come 0 to --ops random calls (any text call with
random options, Markdown of pages and of the document, renders with random
options, links, annotations, form fields, labels, metadata, outline, a page
of another document rendered, pages dropped, the document closed and
reopened), and then the page, as a new Page or as a Page object kept from an
earlier call, is read as for the baseline and compared digest by digest.

A difference is printed with its document, page, result, sequence and the
calls made before it on that Document, and whether a fresh Document opened
at that moment agrees with the baseline (when it does not, the state that
changed is the process's, not the Document's). Times are CPU time of this
thread. Exit status 1 when a difference is found.

Run: nice -n 10 .venv/bin/python bench/call_order_probe.py [--seed 1]
     [--sequences 4] [--ops 3] [--only NAME]
"""

from __future__ import annotations

import argparse
import hashlib
import pickle
import random
import sys
import time
from collections.abc import Callable
from pathlib import Path
from typing import Any

import textloom

CORPUS = next((p / "shared" / "corpus" for p in Path(__file__).resolve().parents
               if (p / "shared" / "corpus").is_dir()), Path("../shared/corpus"))
SORTS: list[Any] = ["reading", "xycut", "simple", None]
SCHEMAS = ["text", "blocks", "words", "dict", "rawdict"]


def digest(value: Any) -> str:
    return hashlib.sha256(pickle.dumps(value, protocol=5)).hexdigest()


def words_array(page: textloom.Page) -> Any:
    words = page.words_array()
    return [words[name].tobytes() for name in ("x0", "y0", "x1", "y1", "block", "line", "word")] \
        + [list(words["text"])]


def rendered(page: textloom.Page) -> Any:
    image = page.render()
    return image.width, image.height, image.channels, hashlib.sha256(image.data).hexdigest()


# Every result a page gives, by name; "render" is read apart (see module doc).
# Those read from the open document are left out for a kept Page whose
# Document was closed.
FROM_DOCUMENT = {"annotations", "form_fields", "geometry"}
TARGETS: dict[str, Callable[[textloom.Page], Any]] = {
    **{schema: (lambda page, schema=schema: page.get_text(schema)) for schema in SCHEMAS},
    "text/none,offpage": lambda page: page.get_text("text", sort=None, offpage=True),
    "words/xycut,rotated": lambda page: page.get_text("words", sort="xycut", rotated=True),
    "blocks/simple,dehyphenate": lambda page: page.get_text("blocks", sort="simple",
                                                            dehyphenate=True),
    "dict/extended,none": lambda page: page.get_text("dict", sort=None, extended=True),
    "rawdict/extended,rotated": lambda page: page.get_text("rawdict", extended=True, rotated=True),
    "words_array": words_array,
    "pdftext_blocks": lambda page: page.pdftext_blocks(keep_chars=True),
    "markdown": lambda page: page.to_markdown(),
    "links": lambda page: page.links(),
    "annotations": lambda page: page.annotations(),
    "form_fields": lambda page: page.form_fields(),
    "geometry": lambda page: (page.width, page.height, page.rotation, page.crop, page.label),
}


def read_page(page: textloom.Page, with_render: bool) -> dict[str, str]:
    closed = page._handle.closed
    digests = {name: digest(target(page)) for name, target in TARGETS.items()
               if not (closed and name in FROM_DOCUMENT)}
    if with_render and not closed:
        digests["render"] = digest(rendered(page))
    return digests


def random_clip(rng: random.Random, page: textloom.Page) -> tuple[float, float, float, float] | None:
    if rng.random() < 0.6:
        return None
    x0, y0 = rng.uniform(0, page.width), rng.uniform(0, page.height)
    return x0, y0, x0 + rng.uniform(1, page.width), y0 + rng.uniform(1, page.height)


class Run:
    """One sequence's Document, its kept Page objects and the calls made on it."""

    def __init__(self, path: Path, rng: random.Random, others: list[Path]) -> None:
        self.path = path
        self.rng = rng
        self.others = others
        self.document = textloom.open(path)
        self.count = len(self.document)
        self.kept: dict[int, textloom.Page] = {}
        self.log: list[str] = []

    def page(self, index: int, needs_document: bool = False) -> textloom.Page:
        """A kept Page object of ``index`` or a new one, at random; with
        ``needs_document`` one whose Document is open."""
        kept = self.kept.get(index)
        if kept is not None and self.rng.random() < 0.5 and not (needs_document
                                                                and kept._handle.closed):
            return kept
        if self.document.closed:
            self.reopen()
        page = self.kept[index] = self.document[index]
        return page

    def reopen(self) -> None:
        self.document = textloom.open(self.path)

    def random_call(self) -> None:
        rng = self.rng
        index = rng.randrange(self.count)
        name, call = rng.choice(CALLS)
        detail = call(self, index)
        self.log.append(f"{name}({index}{', ' + detail if detail else ''})")

    # Each call returns the options it chose, for the log.
    def call_text(self, index: int) -> str:
        rng = self.rng
        page = self.page(index)
        schema = rng.choice(SCHEMAS)
        options: dict[str, Any] = {"sort": rng.choice(SORTS), "clip": random_clip(rng, page),
                                   "rotated": rng.random() < 0.3, "extended": rng.random() < 0.3,
                                   "dehyphenate": rng.random() < 0.3, "offpage": rng.random() < 0.2}
        if schema == "words" and rng.random() < 0.3:
            options["delimiters"] = rng.choice([".", ",-", "e"])
        page.get_text(schema, **options)
        return f"{schema!r}, {options}"

    def call_words_array(self, index: int) -> str:
        sort = self.rng.choice(SORTS)
        self.page(index).words_array(sort=sort, rotated=self.rng.random() < 0.3)
        return f"sort={sort!r}"

    def call_markdown(self, index: int) -> str:
        keep = self.rng.random() < 0.5
        self.page(index).to_markdown(sort=self.rng.choice(SORTS), keep_headers=keep)
        return ""

    def call_document_markdown(self, index: int) -> str:
        if self.document.closed:
            self.reopen()
        pages = None if self.rng.random() < 0.5 else self.rng.sample(
            range(self.count), self.rng.randint(1, self.count))
        self.document.to_markdown(pages, page_chunks=self.rng.random() < 0.5)
        return f"pages={pages}"

    def call_render(self, index: int) -> str:
        rng = self.rng
        page = self.page(index, needs_document=True)
        options = {"scale": rng.choice([0.25, 0.5, 1.0, 1.7, 2.0]), "rotated": rng.random() < 0.7,
                   "grayscale": rng.random() < 0.3, "annots": rng.random() < 0.7,
                   "forms": rng.random() < 0.3, "antialias": rng.random() < 0.8}
        page.render(**options)
        return str(options)

    def call_other_render(self, index: int) -> str:
        other = self.rng.choice(self.others)
        with textloom.open(other) as document:
            document[self.rng.randrange(len(document))].render(scale=self.rng.choice([0.5, 1.0]))
        return other.name

    def call_reads(self, index: int) -> str:
        page = self.page(index, needs_document=True)
        what = self.rng.choice(["links", "annotations", "form_fields", "label", "pdftext_blocks",
                                "geometry"])
        if what == "geometry":
            page.crop, page.width, page.rotation  # noqa: B018  (read for their effect)
        elif what == "label":
            page.label  # noqa: B018
        else:
            getattr(page, what)()
        return what

    def call_document_reads(self, index: int) -> str:
        if self.document.closed:
            self.reopen()
        self.document.metadata, self.document.toc, len(self.document)  # noqa: B018
        return ""

    def call_drop_pages(self, index: int) -> str:
        self.kept.clear()
        return ""

    def call_close(self, index: int) -> str:
        self.document.close()  # kept pages that read their glyphs go on answering text calls
        self.kept = {i: page for i, page in self.kept.items() if page._glyphs is not None}
        return ""


CALLS: list[tuple[str, Callable[[Run, int], str]]] = [
    ("get_text", Run.call_text), ("get_text", Run.call_text), ("words_array", Run.call_words_array),
    ("to_markdown", Run.call_markdown), ("Document.to_markdown", Run.call_document_markdown),
    ("render", Run.call_render), ("render", Run.call_render),
    ("render another document", Run.call_other_render), ("read", Run.call_reads),
    ("Document reads", Run.call_document_reads), ("drop pages", Run.call_drop_pages),
    ("close", Run.call_close),
]


def baseline(paths: list[Path]) -> dict[tuple[str, int], dict[str, str]]:
    """Every page's digests from fresh Documents: all but renders first, then renders."""
    digests: dict[tuple[str, int], dict[str, str]] = {}
    for with_render in (False, True):
        for path in paths:
            with textloom.open(path) as document:
                count = len(document)
            for index in range(count):
                with textloom.open(path) as document:
                    page = document[index]
                    if with_render:
                        digests[path.name, index]["render"] = digest(rendered(page))
                    else:
                        digests[path.name, index] = read_page(page, False)
    return digests


def probe(path: Path, sequence: int, args: argparse.Namespace, base: dict[tuple[str, int],
          dict[str, str]], others: list[Path], carried: Run | None) -> tuple[int, list[str], Run]:
    """One sequence over every page of ``path``: (pages read, differences, its Run)."""
    rng = random.Random(f"{args.seed}:{path.name}:{sequence}")
    run = carried if carried is not None and rng.random() < 0.5 else Run(path, rng, others)
    run.rng = rng
    order = list(range(run.count))
    rng.shuffle(order)
    differences = []
    for index in order:
        for _ in range(rng.randint(0, args.ops)):
            run.random_call()
        page = run.page(index)
        got = read_page(page, with_render=rng.random() < 0.5)
        run.log.append(f"read({index})")
        expected = base[path.name, index]
        bad = [name for name, value in got.items() if expected[name] != value]
        if bad:
            with textloom.open(path) as fresh:
                now = read_page(fresh[index], with_render="render" in got)
            fresh_bad = [name for name in bad if now[name] != expected[name]]
            differences.append(f"{path.name} page {index}: {', '.join(bad)} differ in sequence "
                               f"{sequence} (a fresh Document now differs too: "
                               f"{', '.join(fresh_bad) or 'no'}); calls before on this "
                               f"Document: {'; '.join(run.log[-12:])}")
    return len(order), differences, run


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--sequences", type=int, default=4, help="sequences per document")
    parser.add_argument("--ops", type=int, default=3, help="most random calls before a page")
    parser.add_argument("--only", help="one corpus file name")
    parser.add_argument("--corpus", type=Path, default=CORPUS)
    args = parser.parse_args()
    paths = []
    for path in sorted(args.corpus.glob("*.pdf")):
        try:
            textloom.open(path).close()
        except textloom.PdfError as error:
            print(f"skipped: {error}")
            continue
        paths.append(path)
    start = time.thread_time()
    base = baseline(paths)
    print(f"baseline: {len(base)} pages of {len(paths)} documents, "
          f"{time.thread_time() - start:.1f} s")
    targets = [path for path in paths if args.only in (None, path.name)]
    pages = 0
    differences: list[str] = []
    for path in targets:
        carried: Run | None = None
        for sequence in range(args.sequences):
            read, found, carried = probe(path, sequence, args, base, paths, carried)
            pages += read
            differences += found
        print(f"{path.name}: {args.sequences} sequences, "
              f"{sum(1 for d in differences if d.startswith(path.name))} differences", flush=True)
    results = len(TARGETS) + 1
    print(f"{len(differences)} differences over {pages} page reads ({len(targets)} documents, "
          f"{args.sequences} sequences each, every page once per sequence) x {results} results, "
          f"{time.thread_time() - start:.1f} s CPU")
    for line in differences:
        print(line)
    return 1 if differences else 0


if __name__ == "__main__":
    sys.exit(main())
