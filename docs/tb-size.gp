# The whole-book trial balance's CPU time against the book's size (docs/tb-size.dat, medians in
# ms). Make the PNG from the source folder with:  gnuplot docs/tb-size.gp   (Debian: gnuplot-nox)
set terminal pngcairo size 900,560 font "DejaVu Sans,11"
set output "docs/tb-size.png"
set title "Trial balance of the whole book against its size (embedded book, CPU time, medians)"
set xlabel "detail rows in the book"
set ylabel "milliseconds of CPU"
set logscale xy
set format x "%.0s%c"
set format y "%g"
set grid
set key top left
set datafile missing "-"
plot "docs/tb-size.dat" using 1:2 with linespoints lw 2 pt 7 title "now: exec TrialBalance (month sums)", \
     "" using 1:3 with linespoints lw 1 dt 2 pt 7 title "now: the sums' query alone", \
     "" using 1:4 with linespoints lw 2 pt 5 title "before: the full scan's query alone", \
     "" using 1:6 with points pt 13 ps 2 title "before: exec TrialBalance", \
     "" using 1:5 with linespoints lw 2 pt 9 title "ledger-cli balance"
