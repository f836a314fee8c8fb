file(REMOVE_RECURSE
  "CMakeFiles/quillbrane.dir/survey/main.cpp.o"
  "CMakeFiles/quillbrane.dir/survey/main.cpp.o.d"
  "CMakeFiles/quillbrane.dir/survey/run_survey.cpp.o"
  "CMakeFiles/quillbrane.dir/survey/run_survey.cpp.o.d"
  "quillbrane"
  "quillbrane.pdb"
)

# Per-language clean rules from dependency scanning.
foreach(lang CXX)
  include(CMakeFiles/quillbrane.dir/cmake_clean_${lang}.cmake OPTIONAL)
endforeach()
