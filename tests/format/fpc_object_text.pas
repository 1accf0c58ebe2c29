{ Converts an object text file into a binary property stream with Free Pascal's
  ObjectTextToBinary, as an independent writer to compare our compiler against.
  The stream is built in memory and saved only when the whole text converted. }
program fpc_object_text;

{$mode objfpc}{$H+}

uses
  Classes, SysUtils;

var
  Text: TFileStream;
  Stream: TMemoryStream;
begin
  if ParamCount <> 2 then
  begin
    WriteLn(StdErr, 'usage: fpc_object_text INPUT.txt OUTPUT.bin');
    Halt(2);
  end;
  Stream := TMemoryStream.Create;
  try
    try
      Text := TFileStream.Create(ParamStr(1), fmOpenRead or fmShareDenyWrite);
      try
        ObjectTextToBinary(Text, Stream);
      finally
        Text.Free;
      end;
      Stream.SaveToFile(ParamStr(2));
    except
      on E: Exception do
      begin
        WriteLn(StdErr, ParamStr(1), ': ', E.ClassName, ': ', E.Message);
        Halt(1);
      end;
    end;
  finally
    Stream.Free;
  end;
end.
