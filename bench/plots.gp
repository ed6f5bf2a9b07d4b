# The bench's pictures, made by bench/run.sh from the data files the driver
# writes next to results.json:
#   gnuplot -e "folder='<dir>'; leg='<leg>'" bench/plots.gp
# Each picture is made when its data file is there (a run of "bench" alone
# has no soak data, and the other way round).
#   bench-cpu.png      CPU per tick of the monitor, the replay and the baseline
#                      over the steady window, in slices of 10 ticks
#   bench-latency.png  distribution of the change-to-event latency
#   soak-counters.png  the monitor's handles, GDI and USER objects and private
#                      bytes over the soak

have(name) = system("[ -s '" . folder . "/" . name . "' ] && echo yes") eq "yes"
set terminal pngcairo size 960,540 font "sans,11" noenhanced
set grid
set key outside right top

if (have("bench-cpu.dat")) {
    data = folder . "/bench-cpu.dat"
    stats data using 2 nooutput name "MONITOR"
    stats data using 3 nooutput name "REPLAY"
    stats data using 4 nooutput name "BASELINE"
    set output folder . "/bench-cpu.png"
    set title sprintf("%s: CPU per tick, side by side (monitor / replay = %.3f)", \
                      leg, MONITOR_mean / REPLAY_mean)
    set xlabel "seconds into the steady window"
    set ylabel "ms of CPU per tick (slice of 10 ticks)"
    set yrange [0:*]
    plot data using 1:2 with linespoints lw 2 title sprintf("monitor %.3f ms", MONITOR_mean), \
         data using 1:3 with linespoints lw 2 title sprintf("replay %.3f ms", REPLAY_mean), \
         data using 1:4 with linespoints lw 2 title sprintf("baseline %.3f ms", BASELINE_mean)
    unset yrange
}

if (have("bench-latency.dat")) {
    data = folder . "/bench-latency.dat"
    stats data using 1 nooutput name "LATENCY"
    width = 50.0
    bin(x) = width * floor(x / width) + width / 2
    set output folder . "/bench-latency.png"
    set title sprintf("%s: change of the tracked window -> event (%d changes; median %.0f ms, max %.0f ms)", \
                      leg, LATENCY_records, LATENCY_median, LATENCY_max)
    set xlabel "latency, ms (bins of 50 ms)"
    set ylabel "changes"
    set style fill solid 0.5
    set boxwidth width * 0.9
    set yrange [0:*]
    set ytics 1
    plot data using (bin($1)):(1.0) smooth frequency with boxes title "changes"
    unset yrange
    set ytics autofreq
    unset style
}

if (have("soak-series.dat")) {
    data = folder . "/soak-series.dat"
    set output folder . "/soak-counters.png"
    set title sprintf("%s: the monitor's counters over the soak", leg)
    set xlabel "tick"
    set ylabel "handles, GDI and USER objects"
    set y2label "private bytes, KiB"
    set y2tics
    set ytics nomirror
    set yrange [0:*]
    # Room above the flat lines of a soak without leaks.
    set offsets 0, 0, graph 0.1, 0
    plot data using 1:2 with lines lw 2 title "handles", \
         data using 1:3 with lines lw 2 title "GDI objects", \
         data using 1:4 with lines lw 2 title "USER objects", \
         data using 1:5 axes x1y2 with lines lw 2 dt 2 title "private KiB"
}
