# Cold and warm start: the launcher beside its floor, the NSIS peer and tar.
#   gnuplot -e "data='chart.dat'; out='benchmarks.png'" chart.gp
set terminal pngcairo size 900,500 font "DejaVu Sans,11" noenhanced
set output out
set title "Start time under Wine (median, seconds)"
set style data histograms
set style histogram clustered gap 1
set style fill solid 0.85 border -1
set boxwidth 0.9
set key top left
set ylabel "seconds"
set yrange [0:*]
set grid ytics
set datafile missing "NaN"
plot data using 2:xtic(1) title "launcher" lc rgb "#2b6cb0", \
     '' using 3 title "floor (decode + write | decode + CRC)" lc rgb "#9ac1e8", \
     '' using 4 title "NSIS, LZMA solid" lc rgb "#c0504d", \
     '' using 5 title "native tar --zstd -x" lc rgb "#8c8c8c"
