# Run by CTest before the tests: makes ROOT/NAME with empty XDG folders for every name in NAMES
# (comma-separated), after removing whatever an earlier run left under ROOT.
cmake_minimum_required(VERSION 3.25)
file(REMOVE_RECURSE "${ROOT}")
string(REPLACE "," ";" names "${NAMES}")
foreach(name IN LISTS names)
    set(home "${ROOT}/${name}")
    file(MAKE_DIRECTORY "${home}/.config" "${home}/.cache" "${home}/.local/share"
        "${home}/.local/state" "${home}/.runtime")
    # The runtime folder must be private, or Qt complains and changes its mode itself.
    file(CHMOD "${home}/.runtime" DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
endforeach()
