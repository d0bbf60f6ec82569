# The whole-book trial balance's time against the book's size (docs/tb-size.dat, medians in ms,
# from bench/bench_accountsreports and bench/compare.sh). Make the PNG with:
#   gnuplot docs/tb-size.gp        (Debian package gnuplot-nox)
set terminal pngcairo size 900,560 font "DejaVu Sans,11"
set output "docs/tb-size.png"
set title "Trial balance of the whole book against its size (embedded book, medians)"
set xlabel "detail rows in the book"
set ylabel "milliseconds"
set logscale xy
set format x "%.0s%c"
set grid
set key top left
set datafile missing "-"
plot "docs/tb-size.dat" using 1:2 with linespoints lw 2 pt 7 title "Quoravel, month sums", \
     "" using 1:3 with linespoints lw 2 pt 5 title "Quoravel, every row read (before)", \
     "" using 1:4 with linespoints lw 2 pt 9 title "ledger-cli balance"
