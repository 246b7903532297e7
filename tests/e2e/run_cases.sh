# Sourced by e2e.sh (its helpers check, same_charts and whole_charts, and its variables bin,
# table, font, nl and work are in scope; the working directory is $work).
