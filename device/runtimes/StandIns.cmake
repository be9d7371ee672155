# Writes one small stand-in file per runtime library into OUT_DIR.
foreach(name IN LISTS NAMES)
  file(WRITE ${OUT_DIR}/${name} "Quorvane stand-in for the engine runtime library ${name}.\n")
endforeach()
