# The causes compare_with_wine.sh gives a difference between the portable
# reader and Wine, as they appear in its "differs:" lines and in the lists
# of expected differences. Sourced by compare_with_wine.sh and
# tests/mutants/run_mutants.sh.
# shellcheck shell=bash disable=SC2034
wine_crashes="Wine crashes"
wine_writes_outside="Wine writes outside its buffer"
wine_reads_outside="Wine reads outside its buffer"
# Seen by the portable side only: Wine's loader would act on memory it never
# set (query_versions prints this line for such a file).
wine_unset_memory="Wine uses memory it never set"
# What Wine's faults explain; anything else is the reader's to mend.
wine_faults=("$wine_crashes" "$wine_writes_outside" "$wine_reads_outside" "$wine_unset_memory")
unexplained="unexplained"
# Put into Wine's answers for a file its run died on.
crashed_in_wine="crashed in Wine"
