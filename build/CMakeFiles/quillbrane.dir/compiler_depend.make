# Empty compiler generated dependencies file for quillbrane.
# This may be replaced when dependencies are built.
