# Copies freshly built databases into the runtime folder, but only those that are not there yet:
# the runtime copy of KVConfig.db holds the user's settings and language choice, and a rebuild
# must never replace it.
#
#   cmake -DFRESH_DIR=<folder> -DRUNTIME_DIR=<folder> -DFILES=<a,b/c,...> -P InstallIfMissing.cmake
#
# FILES are paths relative to both folders, separated by commas.

foreach(required FRESH_DIR RUNTIME_DIR FILES)
    if(NOT DEFINED ${required})
        message(FATAL_ERROR "InstallIfMissing.cmake needs -D${required}=...")
    endif()
endforeach()

string(REPLACE "," ";" file_list "${FILES}")
foreach(relative IN LISTS file_list)
    set(source "${FRESH_DIR}/${relative}")
    set(target "${RUNTIME_DIR}/${relative}")
    if(EXISTS "${target}")
        continue()
    endif()
    if(NOT EXISTS "${source}")
        message(FATAL_ERROR "Built database missing: ${source}")
    endif()
    get_filename_component(target_folder "${target}" DIRECTORY)
    file(MAKE_DIRECTORY "${target_folder}")
    # Copy beside the target and rename, so that the program never finds a half-copied file.
    file(COPY_FILE "${source}" "${target}.partial")
    file(RENAME "${target}.partial" "${target}")
    message(STATUS "Installed ${relative}")
endforeach()
