& "$([Environment]::GetFolderPath('ProgramFilesX86'))\velto1\velto1cli.exe" detect; exit $LASTEXITCODE
