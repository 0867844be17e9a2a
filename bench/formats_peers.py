#!/usr/bin/env python3
"""VTK's PLY and OBJ readers on the files `orvex bench formats --out DIR` keeps, for the figures
beside ours: best wall time of Update() over a few runs, and the process's peak memory after each
reader's first run (each reader in a fresh process, so the peaks do not mix).

  python3 bench/formats_peers.py DIR
"""
import argparse
import os
import resource
import subprocess
import sys
import time


def run_one(kind, path, repeat):
    import vtk

    reader = vtk.vtkPLYReader() if kind == "ply" else vtk.vtkOBJReader()
    reader.SetFileName(path)
    best = None
    cells = points = 0
    for _ in range(repeat):
        start = time.perf_counter()
        reader.Modified()
        reader.Update()
        ms = (time.perf_counter() - start) * 1000.0
        best = ms if best is None else min(best, ms)
        out = reader.GetOutput()
        cells, points = out.GetNumberOfCells(), out.GetNumberOfPoints()
    peak = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024.0
    print(f"{os.path.basename(path):18s} {type(reader).__name__:14s} {cells:9d} {points:9d} {best:9.0f} {peak:9.0f}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("dir", help="the folder orvex bench formats --out wrote")
    parser.add_argument("--repeat", type=int, default=3)
    parser.add_argument("--one", nargs=2, metavar=("KIND", "PATH"), help=argparse.SUPPRESS)
    args = parser.parse_args()
    if args.one:
        run_one(args.one[0], args.one[1], args.repeat)
        return
    print(f"{'file':18s} {'reader':14s} {'cells':>9s} {'points':>9s} {'best ms':>9s} {'peak MB':>9s}")
    sys.stdout.flush()
    for name, kind in (("sphere.ply", "ply"), ("sphere_ascii.ply", "ply"), ("sphere.obj", "obj")):
        path = os.path.join(args.dir, name)
        if not os.path.exists(path):
            print(f"{name}: missing (run orvex bench formats --out {args.dir})")
            continue
        subprocess.run([sys.executable, __file__, args.dir, "--repeat", str(args.repeat), "--one", kind, path],
                       check=False)


if __name__ == "__main__":
    main()
