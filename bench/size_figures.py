"""Size rows: the bootstrapper with and without its payload, the front end, and each
payload part as the bootstrapper carries it (read from its resources)."""
import zlib

import pe_image
from table import KIB, MIB, Row, size_text, verdict

BOOTSTRAPPER_OWN_BUDGET = 600 * KIB
FRONT_END_BUDGET = 1 * MIB

_TRANSLATIONS = {134: "ru", 135: "pl", 136: "de", 137: "pt-BR", 138: "zh", 139: "fr", 140: "zh-Hant", 141: "ja",
                 142: "ko", 143: "es", 144: "es-MX", 145: "it"}


def payload_parts(exe_bytes):
    """[(name, bytes)] of the payload in the bootstrapper's resources; the icon group
    counts with its images."""
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


def _ratio(value, baseline):
    return value / baseline if baseline else None


def size_rows(build):
    bootstrapper = (build / "bin" / "InstallerBootstrapper.exe").read_bytes()
    own = (build / "bin" / "InstallerBootstrapperWithoutPayload.exe").stat().st_size
    front_end = (build / "payload" / "KelvraInstaller.exe").stat().st_size
    empty = (build / "bin" / "bench_idle.exe").stat().st_size
    parts = payload_parts(bootstrapper)
    payload = sum(len(data) for _, data in parts)

    deflated = sum(len(zlib.compress(data, 9)) for _, data in parts)
    rows = [
        Row("size: bootstrapper exe, with payload", size_text(len(bootstrapper)), "-",
            f"{size_text(own + payload)} (own + parts)", _ratio(len(bootstrapper), own + payload)),
        Row("size: bootstrapper less payload", size_text(own), f"<= {size_text(BOOTSTRAPPER_OWN_BUDGET)}",
            f"{size_text(empty)} (empty program)", _ratio(own, empty), verdict(own <= BOOTSTRAPPER_OWN_BUDGET)),
        Row("size: front end", size_text(front_end), f"<= {size_text(FRONT_END_BUDGET)}",
            f"{size_text(empty)} (empty program)", _ratio(front_end, empty), verdict(front_end <= FRONT_END_BUDGET)),
        Row("size: payload, all parts", size_text(payload), "-", f"{size_text(deflated)} (deflated)",
            _ratio(payload, deflated)),
    ]
    for name, data in parts:
        deflated = len(zlib.compress(data, 9))
        rows.append(Row(f"size: payload {name}", size_text(len(data)), "-", f"{size_text(deflated)} (deflated)",
                        _ratio(len(data), deflated)))
    return rows
