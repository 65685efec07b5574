#!/usr/bin/env python3
"""Reports of many machines over weeks, made from reports the tool wrote.

    report_variants.py READER OUT_DIR COUNT [--big-services N]

Each variant is one of tests/host/reports/*.log (deciphered with the reader's `decode`) with its
main info file rewritten: computer and user names, the report's date, the product's version, a
product driver and its version, a Run entry, an antivirus product with real-time protection on
or off; its run log (GetInfoRun.txt) and error log say whether stage 4 failed. The archives are
re-enciphered (DES-ECB under the report key, then the length trailer) with one openssl run for
all of them. OUT_DIR/manifest.json lists what each variant holds, for the expected answers.
With --big-services N the last variant's service table gets N more rows (a long transaction).
"""
import datetime, io, json, os, struct, subprocess, sys, zipfile

MAIN = "Kovra_Debug_Info.txt"
STAR = "*" * 81


def report_key_hex():
    k = [0] * 8
    for j, c in enumerate(b"qzmvtrylbsed"):
        k[(j + 1) % 8] = (k[(j + 1) % 8] + c) % 256
    return bytes(k).hex()


def utf16(lines):
    return "\ufeff".encode("utf-16-le") + "".join(l + "\r\n" for l in lines).encode("utf-16-le")


def printed_date(d):
    hour = d.hour % 12 or 12
    return "%d/%d/%d %d:%02d:%02d %s" % (d.month, d.day, d.year, hour, d.minute, d.second,
                                         "PM" if d.hour >= 12 else "AM")


def facts_of(i, count):
    machines = max(1, count // 5)
    m, k = i % machines, i // machines
    date = datetime.datetime(2026, 11, 2, 9, 30) + datetime.timedelta(days=3 * k, minutes=m)
    return {
        "index": i,
        "computer": "PC-%03d" % m,
        "user": "user%d" % (m % 7),
        "date": date.strftime("%Y-%m-%d %H:%M:%S"),
        "printed_date": printed_date(date),
        "product": ["8.1.0", "8.0.2", "9.0.1"][m % 3],
        "driver": "8.1.0.19" if m % 4 == 0 else "8.1.0.22",
        "updater": m % 5 == 0 and k >= 2,  # the Run entry appears from the third report on
        "av_off": m % 6 == 1,
        "stage4_failed": m % 2 == 1 or (m % 4 == 2 and k % 2 == 1),
    }


def rewrite_main(lines, f, big_services):
    out = []
    for line in lines:
        if line.startswith("ComputerName:"):
            line = "ComputerName:\t" + f["computer"]
        elif line.startswith("Cur Users:"):
            line = "Cur Users:\t%s[%s]" % (f["user"], f["user"])
        elif line.startswith("Date:"):
            line = "Date:" + f["printed_date"]
        elif line.startswith("Display Version:") and out and out[-1] == "====ZTN====":
            line = "Display Version:\t" + f["product"]
        out.append(line)
    lines = out
    if "====ZTN====" not in lines:
        # The product block after the system block, as the tool writes it.
        at = lines.index(STAR, next(i for i, l in enumerate(lines) if l.startswith("User Level:")))
        lines[at + 1:at + 1] = ["====ZTN====", "Display Version:\t" + f["product"],
                                "Exefile Version:\t1.0.0.0", "Exefile Size:\t2333850 Bytes", "",
                                STAR]
    http = next(i for i, l in enumerate(lines) if l.startswith("HTTP "))
    extra = ["%-30s 1  4  0 1 C:\\windows\\system32\\drivers\\filter.sys Ver:%s   MD5:%s" %
             ("ZTN Filter", f["driver"], "ab" * 16)]
    extra += ["%-30s 20  4  0 2 C:\\windows\\system32\\svc%d.exe " % ("Bulk Service %d" % n, n)
              for n in range(big_services)]
    lines[http + 1:http + 1] = extra
    if f["updater"]:
        if "---------- Run ----------" not in lines:
            at = lines.index("===== Autoruns =====")
            lines[at + 1:at + 1] = ["", "---------- Run ----------"]
        at = lines.index("---------- Run ----------")
        lines.insert(at + 1, "Updater=C:\\Program Files\\Updater\\updater.exe /quiet")
    at = lines.index("[AntiVirusProduct]")
    state = 0x60000 if f["av_off"] else 0x61000
    lines[at + 1:at + 1] = ["", "Name:Guard AV",
                            "Enabled=%s(%08X)" % ("True" if state & 0x1000 else "False", state),
                            "UptoDate=True"]
    return lines


def run_log(f):
    lines = ["at_ms\tms\tkind\tname\toutcome\tcount\tdetail", "0\t41000\trun\trun\tok\t1\t"]
    for n in range(1, 7):
        failed = n == 4 and f["stage4_failed"]
        lines.append("%d\t5000\tstage\tstage %d\t%s\t1\t%s" %
                     (n * 6000, n, "failed" if failed else "ok",
                      "access denied (error 5)" if failed else ""))
        if n == 4:
            lines.append("24100\t900\tstep\tstage 4/product logs\t%s\t1\t%s" %
                         (("failed", "access denied (error 5)") if failed else ("ok", "")))
    return lines


def variant_zip(source_zip, f, big_services):
    out = io.BytesIO()
    with zipfile.ZipFile(source_zip) as src, zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as z:
        folder = None
        for info in src.infolist():
            data = src.read(info)
            name = info.filename
            if name.endswith("/" + MAIN):
                folder = name[:-len(MAIN)]
                text = data.decode("utf-16")
                data = utf16(rewrite_main(text.split("\r\n")[:-1], f, big_services))
            elif name.endswith("/GetInfoLog.txt"):
                data = utf16(["!!Error:4!!"] if f["stage4_failed"] else [])
            z.writestr(name, data)
        z.writestr(folder + "GetInfoRun.txt", utf16(run_log(f)))
    return out.getvalue()


def main():
    reader, out_dir, count = sys.argv[1], sys.argv[2], int(sys.argv[3])
    big = int(sys.argv[5]) if len(sys.argv) > 5 and sys.argv[4] == "--big-services" else 0
    here = os.path.dirname(os.path.abspath(__file__))
    os.makedirs(out_dir, exist_ok=True)
    sources = []
    for name in sorted(os.listdir(os.path.join(here, "reports"))):
        if name.endswith(".log"):
            zip_path = os.path.join(out_dir, name + ".zip")
            subprocess.run([reader, "decode", os.path.join(here, "reports", name), "-o", zip_path],
                           check=True)
            sources.append(zip_path)
    facts, plain, sizes = [], bytearray(), []
    for i in range(count):
        f = facts_of(i, count)
        data = variant_zip(sources[i % len(sources)], f, big if i == count - 1 else 0)
        f["file"] = "nf_logs_%s_%04d.log" % (f["date"][:10].replace("-", ""), i)
        facts.append(f)
        sizes.append(len(data))
        plain += data + b"\0" * ((8 - len(data) % 8) % 8)
    # Electronic codebook: the blocks of every archive enciphered in one run, then cut apart.
    cipher = subprocess.run(["openssl", "enc", "-des-ecb", "-provider", "legacy", "-provider",
                             "default", "-K", report_key_hex(), "-nopad"], input=bytes(plain),
                            capture_output=True, check=True).stdout
    at = 0
    for f, size in zip(facts, sizes):
        padded = size + (8 - size % 8) % 8
        with open(os.path.join(out_dir, f["file"]), "wb") as out:
            out.write(cipher[at:at + padded] + struct.pack("<I", size))
        at += padded
    for s in sources:
        os.remove(s)
    with open(os.path.join(out_dir, "manifest.json"), "w") as out:
        json.dump(facts, out, indent=1)


if __name__ == "__main__":
    main()
