# Writes the experiments file IN into the page as OUT, a script that sets
# window.LemvarisExperiments; refuses a file that is not JSON.
# Usage: cmake -DIN=experiments.json -DOUT=presets.js -P presets.cmake
file(READ ${IN} json)
string(JSON type ERROR_VARIABLE error TYPE "${json}")
if(error)
  message(FATAL_ERROR "${IN}: not JSON: ${error}")
endif()
get_filename_component(name ${IN} NAME)
file(WRITE ${OUT} "// From ${name}, written by the build.\nwindow.LemvarisExperiments = ${json};\n")
