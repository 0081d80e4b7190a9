#!/usr/bin/env python3
"""Side by side: the transfer function of an RC ladder in the element symbols, as
"quorvat-cli simbolico" writes it (flat, and nested with --aninhado) and as a
computer-algebra system expands it (sympy: the nodal matrix's determinants by Berkowitz,
then the ratio cancelled to expanded polynomials). Processor time of each, per number of
sections, until sympy passes the time limit.

    bench/versus_sympy.py build/cli/quorvat-cli [largest sections] [limit in s]
"""
import os
import resource
import subprocess
import sys
import tempfile
import time

import sympy


def ladder(sections):
    lines = [f"Escada RC de {sections} seções", "V1 in 0 1 IMPULSO"]
    previous = "in"
    for k in range(1, sections + 1):
        lines.append(f"R{k} {previous} n{k} {1000 * (1 + k % 3)}")
        lines.append(f"C{k} n{k} 0 {1 + k % 5}e-9")
        previous = f"n{k}"
    return "\n".join(lines) + "\n"


def children_seconds():
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


def quorvat(cli, netlist, options):
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "escada.net")
        with open(path, "w", encoding="utf-8") as out:
            out.write(netlist)
        before = children_seconds()
        run = subprocess.run([cli, "simbolico", *options, path], capture_output=True, text=True)
        spent = children_seconds() - before
        if run.returncode != 0:
            return None
        return spent


def sympy_ratio(sections):
    s = sympy.Symbol("s")
    r = sympy.symbols(f"R1:{sections + 1}")
    c = sympy.symbols(f"C1:{sections + 1}")
    v1 = sympy.Symbol("V1")
    y = sympy.zeros(sections, sections)
    b = sympy.zeros(sections, 1)
    for k in range(sections):
        y[k, k] += 1 / r[k] + s * c[k]
        if k + 1 < sections:
            y[k, k] += 1 / r[k + 1]
            y[k, k + 1] -= 1 / r[k + 1]
            y[k + 1, k] -= 1 / r[k + 1]
    b[0] = v1 / r[0]
    replaced = y.copy()
    replaced[:, sections - 1] = b
    start = time.process_time()
    ratio = sympy.cancel(replaced.det(method="berkowitz") / y.det(method="berkowitz"))
    top, bottom = sympy.fraction(ratio)
    terms = len(sympy.Add.make_args(sympy.expand(bottom)))
    return time.process_time() - start, terms


def shown(seconds):
    return "recusado" if seconds is None else f"{seconds:.3f}"


def main():
    cli = sys.argv[1] if len(sys.argv) > 1 else "build/cli/quorvat-cli"
    largest = int(sys.argv[2]) if len(sys.argv) > 2 else 11
    limit = float(sys.argv[3]) if len(sys.argv) > 3 else 120.0
    print("seções  termos de D  sympy (s)  quorvat plano (s)  quorvat aninhado (s)")
    for sections in range(2, largest + 1):
        netlist = ladder(sections)
        wanted = ["--variaveis", str(sections + 1)]
        flat = quorvat(cli, netlist, wanted)
        nested = quorvat(cli, netlist, ["--aninhado", *wanted])
        spent, terms = sympy_ratio(sections)
        print(f"{sections:6d}  {terms:11d}  {spent:9.2f}  {shown(flat):>17}  {shown(nested):>20}", flush=True)
        if spent > limit:
            break


if __name__ == "__main__":
    main()
