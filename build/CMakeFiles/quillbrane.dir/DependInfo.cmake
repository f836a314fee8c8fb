
# Consider dependencies only in project.
set(CMAKE_DEPENDS_IN_PROJECT_ONLY OFF)

# The set of languages for which implicit dependencies are needed:
set(CMAKE_DEPENDS_LANGUAGES
  )

# The set of dependency files which are needed:
set(CMAKE_DEPENDS_DEPENDENCY_FILES
  "/work/main/survey/main.cpp" "CMakeFiles/quillbrane.dir/survey/main.cpp.o" "gcc" "CMakeFiles/quillbrane.dir/survey/main.cpp.o.d"
  "/work/main/survey/run_survey.cpp" "CMakeFiles/quillbrane.dir/survey/run_survey.cpp.o" "gcc" "CMakeFiles/quillbrane.dir/survey/run_survey.cpp.o.d"
  )

# Targets to which this target links.
set(CMAKE_TARGET_LINKED_INFO_FILES
  "/work/main/build/CMakeFiles/quillbrane_platform.dir/DependInfo.cmake"
  "/work/main/build/CMakeFiles/quillbrane_core.dir/DependInfo.cmake"
  )

# Fortran module output directory.
set(CMAKE_Fortran_TARGET_MODULE_DIR "")
