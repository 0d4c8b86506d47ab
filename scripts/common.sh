# Sourced by the scripts that install Quiver into a user's folder, register it with the desktop
# and remove it again, so that all of them mean the same places and write entries alike.

# The user's data folder: the menu entry and the icons go there, and the install itself, unless
# QUIVER_HOME names another folder. The package's starter keeps each user's folder there too.
data=${XDG_DATA_HOME:-$HOME/.local/share}
default_home=$data/Quiver
# The files an install wrote, named relative to its folder, one a line: what the uninstall
# removes, and the mark of a folder that holds an install.
installed_list=share/quiver/installed-files

# A value of the desktop entry format, escaped as the program escapes its own entries:
# backslashes, line breaks, tabs, carriage returns, and a leading space.
entry_string() {
    local value=${1//\\/\\\\}
    value=${value//$'\n'/\\n}
    value=${value//$'\t'/\\t}
    value=${value//$'\r'/\\r}
    [[ $value == ' '* ]] && value="\\s${value:1}"
    printf '%s' "$value"
}

# One argument of Exec: quoted, the characters reserved inside quotes escaped, "%" doubled,
# then escaped as any value.
exec_argument() {
    local quoted
    quoted=$(printf '%s' "$1" | sed -e 's/[\\"`$]/\\&/g' -e 's/%/%%/g')
    entry_string "\"$quoted\""
}

# Exec doubles a "%" in the program's path, and GIO looks for the program by the path as
# written: it drops such an entry, so neither GNOME's menu nor its autostart would start it.
refuse_unstartable() {
    if [[ $1 == *%* ]]; then
        echo "Quiver cannot be installed into \"$1\": the desktop cannot start a program" \
            "whose path holds \"%\" from its menu or at login. Choose a folder without" \
            "\"%\" (QUIVER_HOME)." >&2
        exit 1
    fi
}
