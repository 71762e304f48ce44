"""The closing line of a pytest run without the game records beside the
project: how many tests skipped for want of them, so that such a run does
not pass as if it had checked them.  Shared by the module's and the tool's
tests."""

CORPUS_ABSENT = "the real game corpus is absent"


def report_corpus_skips(terminalreporter, corpus_dir):
    """One line with the number of tests that skipped for want of the
    records next to `corpus_dir` (the JSON corpus, the XML one)."""
    if corpus_dir is None:
        return
    root = str(corpus_dir.parent)
    skipped = [
        report
        for report in terminalreporter.stats.get("skipped", [])
        if CORPUS_ABSENT in str(report.longrepr) or root in str(report.longrepr)
    ]
    if skipped:
        count = len(skipped)
        terminalreporter.write_line(
            f"{count} {'test' if count == 1 else 'tests'} skipped: the game records in {root} are absent"
        )
