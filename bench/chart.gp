# Cold and warm start: the launcher beside its floor, the NSIS peer and tar.
#   gnuplot -e "data='chart.dat'; out='benchmarks.png'; heading='...'" chart.gp
set terminal pngcairo size 900,560 font "DejaVu Sans,11" noenhanced
set output out
set title heading
set style data histograms
set style histogram clustered gap 1
set style fill solid 0.85 border -1
set boxwidth 0.9
set key below maxcols 2
set ylabel "seconds"
set yrange [0:*]
set xrange [-0.6:1.6]
set grid ytics
set datafile missing "NaN"
plot data using 2:xtic(1) title "launcher" lc rgb "#2b6cb0", \
     '' using 3 title "floor (decode + write | decode + CRC)" lc rgb "#9ac1e8", \
     '' using 4 title "NSIS, LZMA solid: writes on every start" lc rgb "#c0504d", \
     '' using 5 title "NSIS with ifdiff: trusts time stamps, decodes nothing" lc rgb "#e6a09e", \
     '' using 6 title "native tar --zstd -x" lc rgb "#8c8c8c"
