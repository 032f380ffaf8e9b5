"""Size rows: the bootstrapper with and without its resources, the front end, and each
packed part as the bootstrapper carries it (read from its resources) beside what
staging makes of it."""
import pathlib
import sys
import zlib

import pe_image
from table import KIB, MIB, Row, size_text, verdict

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parents[1] / "resources"))
import pack_resource  # noqa: E402

SHIPPED_BUDGET = 950 * KIB
BOOTSTRAPPER_OWN_BUDGET = 640 * KIB
FRONT_END_BUDGET = 1 * MIB

_TRANSLATIONS = {134: "ru", 135: "pl", 136: "de", 137: "pt-BR", 138: "zh", 139: "fr", 140: "zh-Hant", 141: "ja",
                 142: "ko", 143: "es", 144: "es-MX", 145: "it"}


def packed_parts(exe_bytes):
    """[(name, bytes)] of the packed parts in the bootstrapper's resources, as stored; the
    icon group counts with its images."""
    found = pe_image.resources(exe_bytes)
    raw = found.get(pe_image.RT_RCDATA, {})
    parts = []
    if 129 in raw:
        parts.append(("129 front end", raw[129]))
    group = found.get(pe_image.RT_GROUP_ICON, {}).get(132)
    if group is not None:
        images = pe_image.icon_group_images(group)
        icons = found.get(pe_image.RT_ICON, {})
        parts.append((f"132 icon group + {len(images)} images", group + b"".join(icons.get(i, b"") for i in images)))
    if 133 in raw:
        parts.append(("133 image", raw[133]))
    for number, culture in sorted(_TRANSLATIONS.items()):
        if number in raw:
            parts.append((f"{number} {culture} strings", raw[number]))
    return parts


def staged_bytes(name, stored):
    """What staging writes for a part: a packed part inflated, the icon group as it is
    (the icon file adds only its header and directory)."""
    return stored if name.startswith("132 ") else pack_resource.unpack(stored)


def _ratio(value, baseline):
    return value / baseline if baseline else None


def size_rows(build):
    bootstrapper = (build / "bin" / "InstallerBootstrapper.exe").read_bytes()
    own = (build / "bin" / "InstallerBootstrapperWithoutStagedFiles.exe").stat().st_size
    front_end = (build / "staged" / "KelvraInstaller.exe").stat().st_size
    empty = (build / "bin" / "bench_idle.exe").stat().st_size
    parts = [(name, data, staged_bytes(name, data)) for name, data in packed_parts(bootstrapper)]
    carried = sum(len(data) for _, data, _ in parts)
    staged = sum(len(content) for _, _, content in parts)
    # The same exe with its resources carried as staged: what it was before packing.
    unpacked = len(bootstrapper) - carried + staged
    rows = [
        Row("size: bootstrapper exe, signed, with its resources", size_text(len(bootstrapper)),
            f"<= {size_text(SHIPPED_BUDGET)}", f"{size_text(unpacked)} (resources as staged)",
            _ratio(len(bootstrapper), unpacked), verdict(len(bootstrapper) <= SHIPPED_BUDGET)),
        Row("size: bootstrapper less its resources", size_text(own), f"<= {size_text(BOOTSTRAPPER_OWN_BUDGET)}",
            f"{size_text(empty)} (empty program)", _ratio(own, empty), verdict(own <= BOOTSTRAPPER_OWN_BUDGET)),
        Row("size: front end", size_text(front_end), f"<= {size_text(FRONT_END_BUDGET)}",
            f"{size_text(empty)} (empty program)", _ratio(front_end, empty), verdict(front_end <= FRONT_END_BUDGET)),
        Row("size: packed resources, all parts, as carried", size_text(carried), "-", f"{size_text(staged)} (as staged)",
            _ratio(carried, staged)),
    ]
    for name, data, content in parts:
        if content is data:
            deflated = len(zlib.compress(data, 9))
            baseline = f"{size_text(deflated)} (deflated)"
        else:
            baseline = f"{size_text(len(content))} (as staged)"
            deflated = len(content)
        rows.append(Row(f"size: packed resource {name}", size_text(len(data)), "-", baseline, _ratio(len(data), deflated)))
    return rows
