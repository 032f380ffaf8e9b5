"""The benchmark's one table: figure, value, budget, baseline, ratio, result."""
import dataclasses

KIB = 1024
MIB = 1024 * 1024


@dataclasses.dataclass
class Row:
    figure: str
    value: str
    budget: str = "-"
    baseline: str = "-"
    ratio: float | None = None
    result: str = "-"


def verdict(passed):
    return "pass" if passed else "MISS"


def size_text(size):
    if size is None:
        return "?"
    if size >= MIB:
        return f"{size / MIB:.2f} MiB"
    if size >= 10 * KIB:
        return f"{size / KIB:.0f} KiB"
    return f"{size} B"


def unmeasured(figure, reason):
    """A row whose figure could not be taken, with the reason in place of a result."""
    return Row(figure, "n/a", result=reason)


def render(rows):
    header = Row("figure", "value", "budget", "baseline", None, "result")
    cells = [[row.figure, row.value, row.budget, row.baseline,
              "ratio" if row is header else ("-" if row.ratio is None else f"{row.ratio:.2f}"), row.result]
             for row in [header, *rows]]
    widths = [max(len(cell[i]) for cell in cells) for i in range(5)]
    lines = []
    for n, cell in enumerate(cells):
        lines.append("  ".join(cell[i].ljust(widths[i]) if i == 0 else cell[i].rjust(widths[i]) if i in (1, 4)
                               else cell[i].ljust(widths[i]) for i in range(5)) + "  " + cell[5])
        if n == 0:
            lines.append("-" * len(lines[0]))
    return "\n".join(line.rstrip() for line in lines)
