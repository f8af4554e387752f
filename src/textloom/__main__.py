"""``python -m textloom``: the command line (see ``textloom --help``)."""

import sys

from textloom._cli import main

sys.exit(main())
