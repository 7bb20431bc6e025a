@rem The game given, in a console whose colours are white on blue, as in PowerShell's classic console.
@color 1f
@call %*
