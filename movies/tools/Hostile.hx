import flash.events.Event;
import flash.events.IOErrorEvent;
import flash.events.SecurityErrorEvent;
import flash.external.ExternalInterface;
import flash.net.Socket;
import flash.net.URLLoader;
import flash.net.URLRequest;

/**
	A test movie that tries every way off the machine an ActionScript 3 movie has. It reads
	"logger.txt" beside it (host, port, then a script for the page, one per line), paints the
	stage green once it has read it (red when it can not), and then calls the logger through
	the page, through the player's networking and by navigating.
**/
class Hostile {
	static function main() {
		var loader = new URLLoader();
		loader.addEventListener(Event.COMPLETE, function(_) {
			paint(0x00ff00);
			var lines = Std.string(loader.data).split("\n");
			attack(StringTools.trim(lines[0]), StringTools.trim(lines[1]), lines.slice(2).join("\n"));
		});
		loader.addEventListener(IOErrorEvent.IO_ERROR, function(_) paint(0xff0000));
		loader.addEventListener(SecurityErrorEvent.SECURITY_ERROR, function(_) paint(0xff0000));
		loader.load(new URLRequest("logger.txt"));
	}

	static function paint(colour:Int) {
		var stage = flash.Lib.current;
		stage.graphics.beginFill(colour);
		stage.graphics.drawRect(0, 0, 4000, 4000);
		stage.graphics.endFill();
	}

	static function attack(host:String, port:String, script:String) {
		var address = "http://" + host + ":" + port + "/as3-";
		tryRoute(function() ExternalInterface.call("eval", script));
		tryRoute(function() ExternalInterface.call("fetch", address + "external-fetch"));
		tryRoute(function() ExternalInterface.call("(function(){ fetch('" + address + "expression'); })"));
		tryRoute(function() quiet(new URLLoader()).load(new URLRequest(address + "urlloader")));
		tryRoute(function() flash.Lib.getURL(new URLRequest(address + "navigate"), "_self"));
		tryRoute(function() {
			var socket = new Socket();
			socket.addEventListener(IOErrorEvent.IO_ERROR, function(_) {});
			socket.addEventListener(SecurityErrorEvent.SECURITY_ERROR, function(_) {});
			socket.connect(host, Std.parseInt(port));
		});
	}

	static function quiet(loader:URLLoader):URLLoader {
		loader.addEventListener(IOErrorEvent.IO_ERROR, function(_) {});
		loader.addEventListener(SecurityErrorEvent.SECURITY_ERROR, function(_) {});
		return loader;
	}

	static function tryRoute(route:Void->Void) {
		try {
			route();
		} catch (e:Dynamic) {}
	}
}
