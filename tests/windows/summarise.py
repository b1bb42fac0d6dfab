#!/usr/bin/env python3
"""summarise.py RESULTS: the cases of the Windows test programs, from the XML files GoogleTest
wrote into RESULTS under Wine: how many ran, passed, failed and were skipped, and why each
skipped case was skipped."""

import pathlib
import sys
import xml.etree.ElementTree as ElementTree


def main():
    folder = pathlib.Path(sys.argv[1])
    programs = 0
    ran = passed = failed = 0
    skipped = []
    failures = []
    for path in sorted(folder.glob("*.xml")):
        programs += 1
        for case in ElementTree.parse(path).getroot().iter("testcase"):
            if case.get("status") == "notrun":
                continue  # filtered out, not run
            name = f"{path.stem}: {case.get('classname')}.{case.get('name')}"
            ran += 1
            if case.find("failure") is not None:
                failed += 1
                failures.append(name)
            elif case.get("result") == "skipped" or case.find("skipped") is not None:
                reason = case.find("skipped")
                text = (reason.get("message") or reason.text or "") if reason is not None else ""
                skipped.append((name, text.strip().splitlines()[-1] if text.strip() else ""))
            else:
                passed += 1
    print(f"Windows tests under Wine: {programs} programs, {ran} cases: {passed} passed, "
          f"{failed} failed, {len(skipped)} skipped")
    for name, reason in skipped:
        print(f"  skipped {name}: {reason}")
    for name in failures:
        print(f"  FAILED {name}")


if __name__ == "__main__":
    main()
