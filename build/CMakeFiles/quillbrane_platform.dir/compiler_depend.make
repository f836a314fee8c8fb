# Empty compiler generated dependencies file for quillbrane_platform.
# This may be replaced when dependencies are built.
