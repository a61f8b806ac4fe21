"""The chart of a soak run: resident memory, descriptors and threads over time, with gnuplot."""
import shutil
import subprocess

SCRIPT = """
set terminal pngcairo size 1100,760 font ",10" noenhanced
set output '%(png)s'
set datafile separator ','
set multiplot layout 3,1 title '%(title)s'
set grid
set key top left
set yrange [0:*]
set lmargin 12
set format x ''
set ylabel 'RSS (MiB)'
plot '%(csv)s' using 1:($2/1024) skip 1 with lines lw 2 title 'resident memory'
set ylabel 'descriptors'
plot '%(csv)s' using 1:3 skip 1 with lines lw 2 lc 2 title 'open descriptors'
set format x '%%g'
set xlabel 'seconds'
set ylabel 'threads'
set yrange [0:*]
set offsets 0, 0, 2, 0
plot '%(csv)s' using 1:4 skip 1 with lines lw 2 lc 3 title 'threads'
unset multiplot
"""


def draw(csv, png, title):
    """Writes the chart; False when gnuplot is not installed."""
    if shutil.which("gnuplot") is None:
        return False
    script = SCRIPT % {"png": png, "csv": csv, "title": title}
    subprocess.run(["gnuplot"], input=script.encode(), check=True)
    return True
