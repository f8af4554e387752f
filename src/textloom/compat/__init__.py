"""Other libraries' text-extraction APIs on textloom, so their users switch by changing an import.

``textloom.compat.pdftext``: pdftext's ``plain_text_output``,
``paginated_plain_text_output`` and ``dictionary_output``.

Nothing here is imported by ``import textloom``.
"""
