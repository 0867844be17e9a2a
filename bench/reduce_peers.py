#!/usr/bin/env python3
"""VTK's decimators on the meshes `orvex bench reduce --write-input DIR` writes, at given output
sizes (ours, or fractions), for the figures beside ours. Times Update() only.

  python3 bench/reduce_peers.py DIR/sphere.stl --faces 818170 1000000 200000
"""
import argparse
import time

import vtk


def count_edges(poly, boundary):
    edges = vtk.vtkFeatureEdges()
    edges.SetInputData(poly)
    edges.FeatureEdgesOff()
    edges.ManifoldEdgesOff()
    edges.SetBoundaryEdges(boundary)
    edges.SetNonManifoldEdges(not boundary)
    edges.Update()
    return edges.GetOutput().GetNumberOfCells()


def volume(poly):
    mass = vtk.vtkMassProperties()
    mass.SetInputData(poly)
    mass.Update()
    return mass.GetVolume()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("stl")
    parser.add_argument("--faces", type=int, nargs="+", required=True, help="output sizes in facets")
    parser.add_argument("--skip-quadric", action="store_true")
    args = parser.parse_args()

    reader = vtk.vtkSTLReader()
    reader.SetFileName(args.stl)
    reader.MergingOn()
    reader.Update()
    mesh = reader.GetOutput()
    faces_in = mesh.GetNumberOfCells()
    volume_in = volume(mesh)
    print(f"{args.stl}: {faces_in} facets, {mesh.GetNumberOfPoints()} points, VTK {vtk.vtkVersion.GetVTKVersion()}")
    print(f"{'filter':22} {'target':>9} {'out':>9} {'seconds':>8} {'volume chg':>11} {'boundary':>8} {'non-man':>8}")
    for faces in args.faces:
        reduction = 1.0 - faces / faces_in
        filters = []
        if not args.skip_quadric:
            quadric = vtk.vtkQuadricDecimation()
            quadric.SetTargetReduction(reduction)
            filters.append(("QuadricDecimation", quadric))
        pro = vtk.vtkDecimatePro()
        pro.SetTargetReduction(reduction)
        pro.PreserveTopologyOn()
        pro.SplittingOff()
        pro.BoundaryVertexDeletionOff()
        filters.append(("DecimatePro", pro))
        for name, f in filters:
            f.SetInputData(mesh)
            start = time.perf_counter()
            f.Update()
            seconds = time.perf_counter() - start
            out = f.GetOutput()
            change = (volume(out) - volume_in) / volume_in
            print(f"{name:22} {faces:9d} {out.GetNumberOfCells():9d} {seconds:8.3f} {change:11.2e} "
                  f"{count_edges(out, True):8d} {count_edges(out, False):8d}", flush=True)


if __name__ == "__main__":
    main()
