#!/usr/bin/env python3
"""VTK's smoothing filters on the meshes `orvex bench smooth --write-input FILE` writes (and on the
horse), for the figures beside ours. Times Update() only, as wall clock and as this process's
processor time; best of --repeat runs.

  /usr/bin/python3 bench/smooth_peers.py /tmp/sphere.stl ../shared/data/mesh_horse.stl --radius 1000
"""
import argparse
import math
import time

import vtk


def volume(poly):
    mass = vtk.vtkMassProperties()
    mass.SetInputData(poly)
    mass.Update()
    return mass.GetVolume()


def radius_rms(poly, radius):
    points = poly.GetPoints()
    n = points.GetNumberOfPoints()
    total = 0.0
    for i in range(n):
        x, y, z = points.GetPoint(i)
        r = math.sqrt(x * x + y * y + z * z) - radius
        total += r * r
    return math.sqrt(total / n)


def filters():
    for iterations in (3, 20):
        f = vtk.vtkSmoothPolyDataFilter()
        f.SetNumberOfIterations(iterations)
        f.SetRelaxationFactor(0.5)
        f.SetConvergence(0.0)
        f.FeatureEdgeSmoothingOff()
        yield f"SmoothPolyData {iterations} it", f
    f = vtk.vtkWindowedSincPolyDataFilter()
    f.SetNumberOfIterations(20)
    f.SetPassBand(0.1)
    f.NormalizeCoordinatesOn()
    yield "WindowedSinc 20 it", f


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("stl", nargs="+")
    parser.add_argument("--radius", type=float, default=0.0, help="report RMS(|p| - R) for the first file")
    parser.add_argument("--repeat", type=int, default=3)
    args = parser.parse_args()

    for index, path in enumerate(args.stl):
        reader = vtk.vtkSTLReader()
        reader.SetFileName(path)
        reader.MergingOn()
        reader.Update()
        mesh = reader.GetOutput()
        volume_in = volume(mesh)
        radius = args.radius if index == 0 else 0.0
        print(f"{path}: {mesh.GetNumberOfCells()} facets, {mesh.GetNumberOfPoints()} points, "
              f"VTK {vtk.vtkVersion.GetVTKVersion()}")
        if radius:
            print(f"RMS(|p| - {radius:g}) before: {radius_rms(mesh, radius):.4f}")
        print(f"{'filter':22} {'wall s':>8} {'cpu s':>8} {'volume chg':>11} {'RMS after':>10}", flush=True)
        for name, f in filters():
            best = None
            for _ in range(args.repeat):
                f.SetInputData(mesh)
                f.Modified()
                wall, cpu = time.perf_counter(), time.process_time()
                f.Update()
                wall, cpu = time.perf_counter() - wall, time.process_time() - cpu
                if best is None or wall < best[0]:
                    best = (wall, cpu)
            out = f.GetOutput()
            change = (volume(out) - volume_in) / volume_in
            rms = f"{radius_rms(out, radius):.4f}" if radius else "-"
            print(f"{name:22} {best[0]:8.3f} {best[1]:8.3f} {change:11.2e} {rms:>10}", flush=True)


if __name__ == "__main__":
    main()
