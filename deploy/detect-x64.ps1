& "$([Environment]::GetFolderPath('ProgramFiles'))\velto1\velto1cli.exe" detect; exit $LASTEXITCODE
