# One summary line from match.sh's report: the result line ("Corvanel vs Glaurung: 200 games (of
# 200): +60 =50 -90") in -v line, Corvanel's fault line in -v faults, an optional label in -v name.
# Prints the games, the score, the Elo difference with its 95% interval, and the faults.
BEGIN {
  split(line, parts, ": "); if (name == "") name = parts[1]
  match(line, /\+[0-9]+ =[0-9]+ -[0-9]+/); split(substr(line, RSTART, RLENGTH), r, " ")
  w = substr(r[1], 2) + 0; d = substr(r[2], 2) + 0; l = substr(r[3], 2) + 0; n = w + d + l
  if (n == 0) { printf "%s: no games\n", name; exit }
  s = (w + d / 2) / n
  var = (w * (1 - s) ^ 2 + d * (0.5 - s) ^ 2 + l * (0 - s) ^ 2) / n
  se = sqrt(var / n)
  lo = s - 1.96 * se; hi = s + 1.96 * se
  printf "%-32s %3d games  +%d =%d -%d  score %5.1f%%  Elo %+6.0f  [%+.0f, %+.0f]   %s\n", name, n,
         w, d, l, 100 * s, elo(s), elo(lo), elo(hi), faults
}
function elo(p) {
  if (p <= 0) return -999; if (p >= 1) return 999
  return -400 * log(1 / p - 1) / log(10)
}
