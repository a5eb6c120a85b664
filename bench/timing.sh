# Sourced by bench scripts: now (seconds since the epoch, to the nanosecond)
# and median (of the numbers on standard input, one per line).
now() { date +%s.%N; }
median() { sort -g | awk '{a[NR]=$1} END {print (NR%2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2)}'; }
