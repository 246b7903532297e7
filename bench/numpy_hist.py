#!/usr/bin/python3
"""The same job done the usual way in Python, for comparison: read a results table with numpy,
draw seven histograms with matplotlib and save them as 432 x 216 JPEG images.

    numpy_hist.py TABLE BINS PREFIX
"""
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402

VARIABLES = [
    ("dSOC", "dSOC ( kg C/ha )"),
    ("CH4", "CH4 ( kg C/ha )"),
    ("N2O", "N2O ( kg N/ha )"),
    ("NO", "NO ( kg N/ha )"),
    ("N2", "N2 ( kg N/ha )"),
    ("NH3", "NH3 ( kg N/ha )"),
    ("N_leaching", "N_leaching ( kg N/ha per year )"),
]

table, bins, prefix = sys.argv[1], int(sys.argv[2]), sys.argv[3]
data = np.loadtxt(table, skiprows=3, usecols=range(1, 8))
for column, (name, title) in enumerate(VARIABLES):
    values = data[:, column]
    values = values[np.isfinite(values)]
    figure = plt.figure(figsize=(4.32, 2.16), dpi=100)
    plt.hist(values, bins=bins, color="blue")
    plt.xlabel(title)
    plt.ylabel("Count")
    figure.savefig(f"{prefix}{name}.jpg")
    plt.close(figure)
