file(REMOVE_RECURSE
  "libquillbrane_core.a"
)
