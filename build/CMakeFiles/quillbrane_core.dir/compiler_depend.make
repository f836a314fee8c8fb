# Empty compiler generated dependencies file for quillbrane_core.
# This may be replaced when dependencies are built.
