file(REMOVE_RECURSE
  "libquillbrane_platform.a"
)
