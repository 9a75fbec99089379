# Sourced by the set-up scripts. The package lists, tried again while a mirror
# is part-way through a sync (an index of the wrong size); a list that still
# fails leaves apt its older one, and the install that follows says whether
# what it needs could be had.
update_lists() {
  local attempt
  for attempt in 1 2 3; do
    apt-get update -qq && return 0
    sleep 20
  done
  echo "apt-get update failed three times; installing from the lists apt has" >&2
}
